#pragma once
// Marks a text the engine or the port hands a window for Qt's translation
// tools. It is passed on as written; the window translates it where it
// shows it, in `context` (box texts: "QtBoxes"), so the engine stays free
// of the toolkit.
#define KD36_TR_NOOP(context, text) text
