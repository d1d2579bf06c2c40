" Vim syntax file
" Language: Sorane (scripts written in Japanese, *.srn)

if exists('b:current_syntax')
  finish
endif
scriptencoding utf-8

syntax case match

" Comments: ' ’ ※ // ／／ to the end of the line, { } ｛ ｝ over lines.
syntax match soraneComment /\%(['’※]\|\/\/\|／／\).*$/ contains=@Spell
syntax region soraneBlockComment start=/[{｛]/ end=/[}｝]/ contains=@Spell

" 「…」 and "…" expand {expression} and \ escapes; 「 and 」 both open and close.
syntax region soraneString start=/[「"｢”]/ skip=/[\\￥]./ end=/[」"｣”]/
      \ contains=soraneEscape,soraneEmbedded
syntax match soraneEscape /[\\￥]./ contained
syntax region soraneEmbedded matchgroup=soraneEmbeddedDelimiter start=/[{｛]/ end=/[}｝]/
      \ contained contains=soraneRawString,soraneNumber,soraneOperator,soraneVariable
" 『…』 and `…` are taken as written; `` is one backquote.
syntax region soraneRawString start=/[『`‘]/ skip=/``/ end=/[』`‘]/

syntax match soraneConditional /もし\|ならば\|なら\|違えば\|でなければ\|条件分岐\|の時\|その他/
syntax match soraneRepeat /繰り返す\|繰返す\|反復\|ループ\|抜ける\|続ける/
syntax match soraneRepeat /[0-9０-９)）]\@<=回/
syntax match soraneStatement /戻る\|飛ぶ\|呼ぶ\|おわり\|終わり\|おわる\|関数定義\|引数取得\|取り込む/
syntax match soraneStatement /エラー処理設定\|エラーから復帰\|エラーを無視\|エラーを警告/
syntax match soraneLogical /かつ\|または\|以上\|以下\|と等しい/
syntax match soraneVariable /それ\|回数\|エラーメッセージ\|コマンドライン引数\|母艦のパス\|ランタイムのパス\|母艦/
syntax match soraneVariable /オン\|オフ\|はい\|いいえ\|キャンセル/

" The particle that ends an argument, before its 、.
syntax match soraneParticle /\%(から\|まで\|より\|を\|に\|と\|の\|へ\|で\|が\|は\|て\)\ze\s*[、,，]/

syntax match soraneNumber /[$＄][0-9A-Fa-f]\+/
syntax match soraneNumber /[0-9０-９]\+\%([.．][0-9０-９]\+\)\=/
syntax match soraneOperator /<>\|<=\|>=\|&&\|||\|[=＝<>＜＞+＋\-－*＊×÷^＾%％&＆≠≦≧?？#＃]/
syntax match soraneDelimiter /[、,，。;；]/

" *name alone on its line defines a label (defined last: it wins over *).
syntax match soraneLabel /^\s*[*＊][^ \t*＊"`「」『』()（）,、。;；]\+\s*$/

highlight default link soraneComment Comment
highlight default link soraneBlockComment Comment
highlight default link soraneString String
highlight default link soraneRawString String
highlight default link soraneEscape SpecialChar
highlight default link soraneEmbeddedDelimiter Special
highlight default link soraneLabel Function
highlight default link soraneConditional Conditional
highlight default link soraneRepeat Repeat
highlight default link soraneStatement Statement
highlight default link soraneLogical Operator
highlight default link soraneVariable Identifier
highlight default link soraneParticle Keyword
highlight default link soraneNumber Number
highlight default link soraneOperator Operator
highlight default link soraneDelimiter Delimiter

let b:current_syntax = 'sorane'
