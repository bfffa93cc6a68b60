%SETPATTREGEXP="(?mi)^(?:Content-Language|X-Accept-Language):[ \t]*([a-z][a-z])"%REGEXPBLINDMATCH=%HEADERS%KVL_Select(%SUBPATT="1", "Hello", de, "Hallo", fr, "Bonjour", it, "Ciao", en, "Hello") %KVL_StrItem(%FROMNAME, ", ", 2) %KVL_StrItem(%FROMNAME, ", ", 1),

%KVL_Select(%SUBPATT="1", "thank you for your message.", de, "vielen Dank für Ihre Nachricht.", fr, "merci pour votre message.", it, "grazie per il messaggio.")
