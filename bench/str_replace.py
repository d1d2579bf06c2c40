# str.replace of every occurrence in a 10 MB text (the same text as str_replace.srn)
para = ("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。\r\n"
        "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。Cat No.42 says meow at 12:00.\r\n")
text = para * 62000
text = text.replace("猫", "犬")
print(text.count("犬"))
