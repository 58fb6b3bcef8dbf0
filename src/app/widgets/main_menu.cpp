#include "app/widgets/main_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <functional>
#include <vector>

#include "app/widgets/journal_dlg.h"
#include "app/widgets/report_dlg.h"
#include "characteristics/widgets/char_dialogs.h"
#include "service/widgets/service_dialogs.h"
#include "ui/about_dlg.h"
#include "ui/help_window.h"

namespace {

using Command = Ckv60xDlg::Command;
using D = Ckv60xDlg;

struct MenuItem {
    Command command;
    const char* text;  // UTF-8
    std::function<void(D&)> run;
};

struct MenuGroup {
    const char* title;
    bool serviceOnly;
    std::vector<MenuItem> items;
};

// A command of the window itself.
std::function<void(D&)> Slot(void (D::*slot)()) {
    return [slot](D& d) { (d.*slot)(); };
}

const std::vector<MenuGroup>& MenuGroups() {
    static const std::vector<MenuGroup> groups = {
        {"&Program", false, {{Ckv60xDlg::kCmdClose, "&Zamknij", Slot(&D::accept)}}},
        {"&Widok",
         false,
         {{Ckv60xDlg::kCmdColors, "&Kolory", Slot(&D::OnColors)},
          {Ckv60xDlg::kCmdFonts, "&Czcionki", Slot(&D::OnFonts)},
          {Ckv60xDlg::kCmdTopmost, "&Zawsze na wierzchu", Slot(&D::ToggleTopmost)},
          {Ckv60xDlg::kCmdTrend, "&Wykres temperatury", Slot(&D::OnTrendWindow)}}},
        {"&Ustawienia",
         false,
         {{Ckv60xDlg::kCmdPort, "&Port szeregowy", Slot(&D::RunPortSelection)},
          {Ckv60xDlg::kCmdLogFile, "&Rejestracja do pliku", Slot(&D::OnLogFileSettings)}}},
        {"P&anel",
         false,
         {{Ckv60xDlg::kCmdPanelInfo, "&Informacje",
           [](D& d) { RunPanelInfoDlg(&d, &d.session()); }},
          {Ckv60xDlg::kCmdCharTable, "&Charakterystyki wszystkich materiałów",
           [](D& d) { RunCharTable(&d, &d.session()); }},
          {Ckv60xDlg::kCmdCharRecord, "Charakterystyka &wybranego materiału",
           [](D& d) { RunCharRecByNumber(&d, &d.session()); }},
          {Ckv60xDlg::kCmdJournal, "&Historia zmian...",
           [](D& d) { RunJournalDlg(&d, &d.session()); }},
          {Ckv60xDlg::kCmdReport, "&Raport miernika...",
           [](D& d) { RunMeterReport(&d, &d.session()); }}}},
        {"&Serwis",
         true,
         {{Ckv60xDlg::kCmdStartupDate, "Zapis &daty uruchamiania",
           [](D& d) { RunCalDlg(&d, &d.session()); }},
          {Ckv60xDlg::kCmdSerialNumber, "Zapis &numeru seryjnego",
           [](D& d) { RunSerialNumberDlg(&d, &d.session()); }},
          {Ckv60xDlg::kCmdStartupMemory, "&Odczyt pamięci uruchamiania",
           [](D& d) { RunMemoryDlg(&d, &d.session()); }},
          {Ckv60xDlg::kCmdServiceData, "Wyświetlaj dane &serwisowe", Slot(&D::ToggleServiceData)},
          {Ckv60xDlg::kCmdElectrode, "Współczynnik &kształtu elektrod",
           [](D& d) { RunElectrodeDlg(&d, &d.session()); }}}},
        {"Po&moc",
         false,
         {{Ckv60xDlg::kCmdHelp, "&Pomoc", [](D& d) { HelpWindow::ShowHelp(&d); }},
          {Ckv60xDlg::kCmdAbout, "&O programie", [](D& d) { ShowAboutBox(&d); }}}},
    };
    return groups;
}

}  // namespace

void BuildMainMenu(QMenuBar* bar, Ckv60xDlg* window, bool serviceMode,
                   std::map<Command, QAction*>* actions) {
    bar->clear();
    actions->clear();
    for (const MenuGroup& group : MenuGroups()) {
        if (group.serviceOnly && !serviceMode) continue;
        QMenu* menu = bar->addMenu(QString::fromUtf8(group.title));
        menu->setAccessibleName(QString(menu->title()).remove(QLatin1Char('&')));
        for (const MenuItem& item : group.items) {
            QAction* a = menu->addAction(QString::fromUtf8(item.text));
            (*actions)[item.command] = a;
            QObject::connect(a, &QAction::triggered, window,
                             [window, run = item.run] { run(*window); });
        }
    }
    for (Command checkable : {Ckv60xDlg::kCmdTopmost, Ckv60xDlg::kCmdServiceData}) {
        auto it = actions->find(checkable);
        if (it != actions->end()) it->second->setCheckable(true);
    }
}
