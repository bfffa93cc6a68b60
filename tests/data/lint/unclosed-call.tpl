Betreff: %KVL_StrLen(%SUBJECT
und der Rest der Vorlage
wird unverändert ausgegeben.
