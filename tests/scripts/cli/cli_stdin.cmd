--console
-
一
-debug
--bogus
