// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/Announcements.h"

#include "dialogs/AnnouncementWindow.h"

namespace
{

class FRMC final : public Dialogs::AnnouncementWindow
{
  public:
    FRMC()
        : AnnouncementWindow({"FRMC", "ConText", QStringLiteral("Текст результата"),
                              QStringLiteral("Поздравляю!"), 12000, 735, QColor(160, 0, 0), 150,
                              150, 11700, 495, QColor(160, 0, 0), QColor(0, 255, 255), 18, true,
                              QStringLiteral("Контекст"), QStringLiteral("Что это?")})
    {
    }

  private:
    void textKeyDown(qint16& KeyCode, qint16& Shift) override { ConText_KeyDown(KeyCode, Shift); }
    void ConText_KeyDown(qint16& KeyCode, qint16& Shift) { popUpOnMenuKey(KeyCode, Shift); }
};

Dialogs::Announcement& form()
{
    static Dialogs::Announcement announcement;
    return announcement;
}

} // namespace

void Congratulation(const QString& cvText, const QString& cvForm)
{
    form().open(std::make_unique<FRMC>(), cvText, cvForm);
}

void ConNot()
{
    form().close();
}
