--console
--text-encoding
ebcdic
SCRIPT
