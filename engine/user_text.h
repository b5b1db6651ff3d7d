#pragma once
// Marks a text the engine hands a window for Qt's translation tools. The
// engine passes it on as written; the window translates it where it shows
// it, in `context` (the engine's box texts: "QtBoxes"), so engine/ stays
// free of the toolkit.
#define KD36_TR_NOOP(context, text) text
