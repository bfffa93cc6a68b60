Gruppen: %KVL_RERepl(%SUBJECT, ((\w+ (\d+), $1)
Ende
