%_gruss="Viele Grüße
Tom
