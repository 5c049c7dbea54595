// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QKeyEvent;

// The Latin letter, 'A' to 'Z', printed on the key that was pressed in the US
// layout, whatever layout is active: the game's Alt+letter keys belong to the
// key, not to the character it types (most players type with the Russian layout
// active). 0 for a key that is no letter key.
char PhysicalLetter(const QKeyEvent& event);

// True when `event` is `letter` ('A' to 'Z') pressed with exactly `modifiers`.
bool IsLetterKey(const QKeyEvent& event, char letter, int modifiers);
