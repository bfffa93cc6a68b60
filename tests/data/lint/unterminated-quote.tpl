Zitat: %KVL_StrRepl(%TEXT, ">", "> )
Viele Grüße
Tom
