Von: %FROMNAME <%FROMADR>
Datum: %DATUM
Preis: 100%ig sicher, 50% Rabatt
