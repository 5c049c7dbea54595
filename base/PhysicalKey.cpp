// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/PhysicalKey.h"

#include <QKeyEvent>

namespace
{

// The platform's code of the key itself: Windows' virtual key codes name the
// key of the US layout ('A' = 0x41) in every layout; X11 and Wayland give the
// evdev scan code plus 8, laid out as on a US keyboard.
char letterOfNativeKey(const QKeyEvent& event)
{
#if defined(Q_OS_WIN)
    const quint32 vk = event.nativeVirtualKey();
    if (vk >= 0x41 && vk <= 0x5A) return char(vk);
    return 0;
#elif defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    static const char rows[][11] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    static const quint32 firsts[] = {24, 38, 52};
    const quint32 code = event.nativeScanCode();
    for (int row = 0; row < 3; ++row) {
        const quint32 length = quint32(qstrlen(rows[row]));
        if (code >= firsts[row] && code < firsts[row] + length)
            return rows[row][code - firsts[row]];
    }
    return 0;
#else
    Q_UNUSED(event);
    return 0;
#endif
}

} // namespace

char PhysicalLetter(const QKeyEvent& event)
{
    if (const char letter = letterOfNativeKey(event)) return letter;
    // Synthesized events and platforms without native codes: the Latin key.
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return char('A' + (key - Qt::Key_A));
    return 0;
}

bool IsLetterKey(const QKeyEvent& event, char letter, int modifiers)
{
    const Qt::KeyboardModifiers wanted = Qt::KeyboardModifiers(modifiers);
    const Qt::KeyboardModifiers held =
        event.modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return held == wanted && PhysicalLetter(event) == letter;
}
