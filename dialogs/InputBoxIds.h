// Control identifiers of the input box DIALOG_0 (core/KVL.rc). "Ok" carries the
// platform's cancel identifier, so Escape ends the box like "Ok".
#pragma once
#define KVL_INPUT_PROMPT 1000
#define KVL_INPUT_EDIT 1001
#define KVL_INPUT_OK 2
#define KVL_INPUT_CANCEL 3
