" Sorane scripts
autocmd BufRead,BufNewFile *.srn setfiletype sorane
