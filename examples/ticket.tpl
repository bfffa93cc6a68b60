Subject: %KVL_RERepl(%SUBJECT, "^(?:Re: )*\[Ticket #(\d+)\] (.*)$", "Re: $2 [Ticket #$1]")

Hello support team,

thanks, ticket %KVL_RERepl(%SUBJECT, "^.*#(\d+)\].*$", "$1") can be closed: printing works again%KVL_Select(%KVL_REIsMatch(%TEXT, "back online", 1, 1), "", 1, " now that the printer is back online").

Tom
