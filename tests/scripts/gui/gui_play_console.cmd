--console
--play
x.play
SCRIPT
