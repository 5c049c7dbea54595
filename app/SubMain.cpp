// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SubMain.h"

#include "app/SingleInstance.h"
#include "app/frmMain.h"
#include "app/frmStart.h"
#include "base/AllCorrector.h"
#include "base/Look.h"
#include "base/Process.h"
#include "base/Random.h"
#include "content/LoadingData.h"
#include "dialogs/DIAM.h"
#include "dialogs/DialogSupport.h"
#include "sound/QVRPlayFiles.h"

#include <QApplication>
#include <QEventLoop>
#include <QTime>
#include <QWindow>
#include <memory>

namespace
{
// Both live as long as the process: the program ends through EndProgram.
std::unique_ptr<frmMain> mainForm;
std::unique_ptr<SingleInstance> instance;

} // namespace

bool Main(const StartupOptions& options)
{
    AppPath =
        options.gameFolder.isEmpty() ? AppFolderPath() : WithTrailingSeparator(options.gameFolder);

    // The windows go before the application object does.
    static const bool cleanUp = (qAddPostRoutine([] {
                                     mainForm.reset();
                                     instance.reset();
                                 }),
                                 true);
    Q_UNUSED(cleanUp);
    mainForm.reset();
    mainForm = std::make_unique<frmMain>();
    mainForm->show();
    Look::centre(mainForm.get(), nullptr);
    mainForm->activateWindow();
    Dialogs::ExpectActive(mainForm.get());

    instance.reset();
    instance = std::make_unique<SingleInstance>(options.instanceKey);
    if (instance->anotherIsRunning()) {
        SMess(QStringLiteral("Ты чо делаешь?\r\nКворвел уже запущен.\r\nИшь, жадный какой!"), 2,
              QStringLiteral("Ошибка пользователя."));
        EndProgram();
        return false;
    }

    Randomize(SeedFromTime(QTime::currentTime()));

    // The splash stands above the main window until start-up ends, and it is
    // painted before the long steps begin.
    auto splash = std::make_unique<frmStart>();
    splash->winId();
    mainForm->winId();
    splash->windowHandle()->setTransientParent(mainForm->windowHandle());
    Look::centre(splash.get(), mainForm.get());
    splash->show();
    splash->raise();
    splash->repaint();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    if (!LoadingData::BuildSoundCatalogue()) return false;
    PlayOnSecondPlayer(13);

    const QString bank = AppPath + QStringLiteral("questions.qvr");
    switch (LoadingData::LoadQuestions()) {
    case BankStatus::Missing:
        ReportFileAndEnd(QStringLiteral("Отсутствует файл:"), bank);
        return false;
    case BankStatus::Damaged:
        ReportFileAndEnd(QStringLiteral("Повреждён файл:"), bank);
        return false;
    case BankStatus::Loaded:
        break;
    }
    LoadingData::BuildLevelNames();
    LoadingData::BuildPrizes();
    PlayMusic(7);

    splash.reset();
    mainForm->Infol->show();
    mainForm->Infot->show();
    // The text box has the focus, so the context-menu key works at once.
    mainForm->Infot->setFocus(Qt::OtherFocusReason);
    mainForm->EnableGameCommands();
    return true;
}
