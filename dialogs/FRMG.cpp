// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/Announcements.h"

#include "dialogs/AnnouncementWindow.h"

namespace
{

class FRMG final : public Dialogs::AnnouncementWindow
{
  public:
    FRMG()
        : AnnouncementWindow({"FRMG", "gText", QStringLiteral("Текст объявления"), QString(), 7500,
                              1200, QColor(240, 128, 0), 150, 150, 7200, 915, Qt::black, Qt::white,
                              36, false, QStringLiteral("чего?"),
                              QStringLiteral("Чего это такое?")})
    {
    }

  private:
    void textKeyDown(qint16& KeyCode, qint16& Shift) override { gText_KeyDown(KeyCode, Shift); }
    void gText_KeyDown(qint16& KeyCode, qint16& Shift) { popUpOnMenuKey(KeyCode, Shift); }
};

Dialogs::Announcement& form()
{
    static Dialogs::Announcement announcement;
    return announcement;
}

} // namespace

void Velcom(const QString& vText, const QString& vForm)
{
    form().open(std::make_unique<FRMG>(), vText, vForm);
}

void VelNot()
{
    form().close();
}
