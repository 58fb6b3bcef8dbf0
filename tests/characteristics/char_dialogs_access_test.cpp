// The editor and the table of characteristics driven as a screen reader, code
// and the keyboard drive them.

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "characteristics/char_dialog_fixture.h"
#include "characteristics/widgets/char_rec_dlg.h"
#include "characteristics/widgets/char_table_dlg.h"
#include "characteristics/widgets/edit_char_table_dlg.h"
#include "support/screen_reader.h"

using testsupport::SampleRecord;
using testsupport::ScreenReader;
using testsupport::WaitUntil;
using testsupport::WhenShown;

namespace {

// The widgets Tab visits, in order, starting at first.
QList<QWidget*> TabChain(QWidget* first) {
    QList<QWidget*> chain;
    QWidget* w = first;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(first->window())) chain << w;
        w = w->nextInFocusChain();
    } while (w && w != first);
    return chain;
}

// Sends a key to w in its active window, so that shortcuts apply.
void Key(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    w->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w->window()));
    w->setFocus();
    QTest::keyClick(w, Qt::Key(key), mods);
}

}  // namespace

TEST_F(CharDialogTest, EditorBoxesActHoweverTheyAreChanged) {
    ScreenReader reader;
    SampleRecord rec(2);
    rec.Curve(3);    // the point edited below is the last
    rec.METHOD = 0;  // resistive and without compensation: the test switches both on
    rec.COMPENSATION = 0;
    CCharRecDlg dlg(rec, false);
    dlg.show();
    EXPECT_FALSE(dlg.CoefficientEdit(0)->isEnabled());

    // By code: compensation on enables the coefficients and marks the record.
    dlg.CompensationBox()->setChecked(true);
    EXPECT_TRUE(dlg.CoefficientEdit(0)->isEnabled());
    EXPECT_TRUE(dlg.Modified());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Charakterystyka materiału nr 3*"));

    // By the screen reader: "Rekord aktywny" off disables the record's fields.
    ASSERT_TRUE(ScreenReader::Toggle(dlg.EnableBox()));
    EXPECT_FALSE(dlg.EnableBox()->isChecked());
    EXPECT_FALSE(dlg.NameEdit()->isEnabled());
    EXPECT_FALSE(dlg.CoefficientEdit(3)->isEnabled());
    EXPECT_FALSE(dlg.PointList()->isEnabled());
    EXPECT_TRUE(dlg.EnableBox()->isEnabled());
    ASSERT_TRUE(ScreenReader::Toggle(dlg.EnableBox()));
    EXPECT_TRUE(dlg.NameEdit()->isEnabled());
    EXPECT_TRUE(dlg.CoefficientEdit(3)->isEnabled());
    ASSERT_TRUE(ScreenReader::Toggle(dlg.CapacitiveRadio()));

    // F2 edits the current point (a double click does the same with the mouse).
    dlg.PointList()->setCurrentItem(dlg.PointList()->topLevelItem(2));
    WhenShown<CEditCharTableDlg>([](CEditCharTableDlg* p) {
        p->HumidityEdit()->setText(QStringLiteral("33"));
        p->OnOk();
    });
    Key(dlg.PointList(), Qt::Key_F2);
    EXPECT_EQ(dlg.PointList()->topLevelItem(2)->text(1), QStringLiteral("33.000"));

    dlg.OnOk();
    ASSERT_EQ(dlg.result(), QDialog::Accepted) << prompts->log.join('|').toStdString();
    const CharRecData out = dlg.Data();
    EXPECT_EQ(out.ENABLE, 1);
    EXPECT_EQ(out.COMPENSATION, 1);
    EXPECT_EQ(out.METHOD, 1);
    EXPECT_EQ(out.RH[2], 33.0);

    // Tab follows the fields as laid out: code, name, description, certificate.
    CCharRecDlg again(rec, false);
    again.show();
    const QList<QWidget*> chain = TabChain(again.EnableBox());
    QList<qsizetype> at;
    for (QWidget* w : std::initializer_list<QWidget*>{
             again.EnableBox(), again.ResistiveRadio(), again.CodeEdit(), again.NameEdit(),
             again.DescEdit(), again.CertificateEdit(), again.CreateDateEdit(),
             again.CompensationBox(), again.CoefficientEdit(0), again.CoefficientEdit(3),
             again.CountEdit(), again.PointList(), again.ImportButton(), again.OkButton(),
             again.CancelButton()}) {
        at << chain.indexOf(w);
    }
    EXPECT_FALSE(at.contains(-1));
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
}

TEST_F(CharDialogTest, TableRowsAreEditedCopiedAndPastedWithoutAMouse) {
    auto t = std::make_unique<CCharTableDlg>(session.get());
    t->show();
    ASSERT_TRUE(WaitUntil([&] { return !t->IsBusy(); }, 20000));
    QTreeWidget* list = t->List();

    // F2: the editor on the selected row.
    list->setCurrentItem(list->topLevelItem(1));
    WhenShown<CCharRecDlg>([](CCharRecDlg* e) {
        e->NameEdit()->setText(QStringLiteral("Nowa"));
        e->OnOk();
    });
    Key(list, Qt::Key_F2);
    EXPECT_EQ(list->topLevelItem(1)->text(2).trimmed(), QStringLiteral("Nowa"));
    EXPECT_TRUE(t->SlotModified(1));

    // Ctrl+C on row 2, Ctrl+V on row 5.
    list->setCurrentItem(list->topLevelItem(1));
    Key(list, Qt::Key_C, Qt::ControlModifier);
    list->setCurrentItem(list->topLevelItem(4));
    Key(list, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(list->topLevelItem(4)->text(2).trimmed(), QStringLiteral("Nowa"));
    EXPECT_TRUE(t->SlotModified(4));
    EXPECT_TRUE(prompts->messages.empty());

    // Nothing is cut: the headings, the method names, a full range and a
    // full-length description fit their columns in the font in use.
    const QFontMetrics cells(list->font());
    const QFontMetrics headings(list->header()->font());
    for (int c = 0; c < 7; ++c) {
        EXPECT_GT(list->columnWidth(c), headings.horizontalAdvance(list->headerItem()->text(c)) + 8)
            << list->headerItem()->text(c).toStdString();
    }
    EXPECT_GT(list->columnWidth(3), cells.horizontalAdvance(QStringLiteral("100.0...100.0")));
    EXPECT_GT(list->columnWidth(5), cells.horizontalAdvance(QStringLiteral("pojemnościowa")));
    EXPECT_GT(list->columnWidth(4), cells.horizontalAdvance(QStringLiteral("Ziarno pszenicy "
                                                                           "ozimej, partia 12")));
    t->reject();
}
