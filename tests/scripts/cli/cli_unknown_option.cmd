--console
--no-such-option
SCRIPT
