#include "report/report_pdf.h"

#include "session/meter_texts.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cstring>

#include "characteristics/graph_paint.h"
#include "files/safe_file.h"
#include "journal/journal_fields.h"
#include "records/char_rec_format.h"
#include "records/cp1250.h"
#include "report/report_layout.h"

using namespace reportlayout;

namespace {

constexpr int kDpi = 300;
// One pixel of the window's graph is 1/96 inch on paper, as in a saved picture.
constexpr double kGraphPixel = kDpi / 96.0;
const QString kProtected = QStringLiteral("(ochrona hasłem)");

// A meter float with every digit it holds, as the journal shows it.
QString Number(double v) {
    return QString::number(v, 'g', 9);
}

QString Flag(uint8_t v) {
    return v ? QStringLiteral("tak") : QStringLiteral("nie");
}

QString Method(uint8_t m) {
    if (m == 0) return QStringLiteral("rezystancyjna");
    if (m == 1) return QStringLiteral("pojemnościowa");
    return QStringLiteral("inna (%1)").arg(m);
}

QString Date(int32_t t) {
    return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString Field(const char* field, int length) {
    return FixedFieldTextUnpadded(field, length);
}

QString ModelText(const MeterIdentity& id) {
    if (!id.valid) return QStringLiteral("?");
    const QString model =
        QString::fromLatin1(id.model, static_cast<int>(strnlen(id.model, sizeof id.model)));
    return id.versionLetter ? model + QChar::fromLatin1(id.versionLetter) : model;
}

// The condition flags as the main window's status line words them.
QString ConditionText(const MeterCondition& c, const TemperatureReading& t) {
    QStringList s;
    for (const QString& f : MeterFaults(c, t)) s << f + QLatin1Char('.');
    if (!c.valid) s << QStringLiteral("nieznany");
    return s.isEmpty() ? QStringLiteral("bez błędów") : s.join(QLatin1Char(' '));
}

QString TemperatureText(const TemperatureReading& t) {
    if (!t.valid || t.temperatureError) return QStringLiteral("??? °C");
    return QString::asprintf("%.2f °C", t.temperature);
}

QString ComparisonText(const ReportComparison& c) {
    switch (c.kind) {
        case ReportComparison::Kind::NotInFile:
            return QStringLiteral("brak w pliku");
        case ReportComparison::Kind::NotRead:
            return QStringLiteral("nie porównano (nieodczytana)");
        case ReportComparison::Kind::Compared:
            break;
    }
    return c.differences.empty() ? QStringLiteral("zgodna z plikiem")
                                 : QStringLiteral("różnice: %1").arg(c.differences.size());
}

// Draws one report into a flow, then onto the writer.
class ReportDrawing {
public:
    ReportDrawing(const MeterReport& report, QPdfWriter& writer, const QRectF& area)
        : m_r(report), m_flow(&writer, area) {}

    void Build();
    const Flow& flow() const { return m_flow; }

private:
    void Heading();
    void MeterSection();
    void ReferenceSection();
    void VerificationSection();
    void Overview();
    void SlotBlock(const ReportSlot& s);
    void Comparison(const ReportSlot& s);
    void JournalSection();
    // Keeps the pending section title with the first block under it.
    void Keep(double blockHeight);

    const MeterReport& m_r;
    QString m_pendingSection;
    Flow m_flow;
    Fonts m_fonts;
};

void ReportDrawing::Build() {
    Heading();
    if (m_r.meter) MeterSection();
    if (!m_r.referenceFile.isEmpty()) ReferenceSection();
    if (!m_r.verification.empty()) VerificationSection();
    Overview();
    m_pendingSection = QStringLiteral("Charakterystyki");
    for (const ReportSlot& s : m_r.table) SlotBlock(s);
    Keep(0);
    if (m_r.meter) JournalSection();
}

void ReportDrawing::Keep(double blockHeight) {
    if (m_pendingSection.isEmpty()) return;
    m_flow.Section(m_pendingSection, m_fonts.section, blockHeight);
    m_pendingSection.clear();
}

void ReportDrawing::Heading() {
    m_flow.Text(m_fonts.title, ReportTitle(m_r));
    m_flow.Space(m_flow.Mm(2));
    std::vector<std::pair<QString, QString>> rows = {
        {QStringLiteral("Data i godzina raportu"),
         m_r.created.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
        {QStringLiteral("Program"), QStringLiteral("kv60x %1").arg(m_r.programVersion)},
        {QStringLiteral("Konto użytkownika"), m_r.user},
        {QStringLiteral("Tryb serwisowy"),
         m_r.serviceMode ? QStringLiteral("tak")
                         : QStringLiteral("nie (krzywe charakterystyk chronionych hasłem "
                                          "nie są pokazane)")},
    };
    if (!m_r.meter) {
        rows.push_back({QStringLiteral("Plik zbioru charakterystyk"), m_r.setFile});
        rows.push_back(
            {QStringLiteral("Charakterystyk w pliku"), QString::number(m_r.table.size())});
    }
    m_flow.Pairs(rows, m_fonts, m_flow.Mm(54));
    m_flow.Space(m_flow.Mm(4));
}

void ReportDrawing::MeterSection() {
    const ReportMeter& m = *m_r.meter;
    m_flow.Section(QStringLiteral("Miernik"), m_fonts.section, m_flow.Mm(10));
    const QString version =
        m.identity.valid
            ? QStringLiteral("%1.%2").arg(m.identity.versionMajor).arg(m.identity.versionMinor)
            : QStringLiteral("?");
    const QString serial =
        m.serialNumber.valid ? QString::number(m.serialNumber.serialNumber) : QStringLiteral("?");
    const QString startup =
        m.startupDate.valid
            ? QString::asprintf("%04d-%02d", int(m.startupDate.year), int(m.startupDate.month))
            : QStringLiteral("?");
    const QString electrode =
        m.electrode.valid ? Number(m.electrode.coefficient) : QStringLiteral("nieodczytany");
    m_flow.Pairs({{QStringLiteral("Model i litera wersji"), ModelText(m.identity)},
                  {QStringLiteral("Wersja"), version},
                  {QStringLiteral("Numer seryjny"), serial},
                  {QStringLiteral("Data uruchamiania"), startup},
                  {QStringLiteral("Stan"), ConditionText(m.condition, m.temperature)},
                  {QStringLiteral("Współczynnik kształtu elektrod"), electrode},
                  {QStringLiteral("Temperatura"), TemperatureText(m.temperature)},
                  {QStringLiteral("Liczba charakterystyk"),
                   m.count.valid ? QString::number(m.count.count) : QStringLiteral("?")}},
                 m_fonts, m_flow.Mm(54));
    m_flow.Space(m_flow.Mm(4));
}

void ReportDrawing::ReferenceSection() {
    m_flow.Section(QStringLiteral("Porównanie z plikiem wzorcowym"), m_fonts.section,
                   m_flow.Mm(10));
    std::vector<SlotDifference> differing;
    QStringList notCompared;
    for (const ReportSlot& s : m_r.table) {
        if (!s.comparison) continue;
        if (s.comparison->kind != ReportComparison::Kind::Compared)
            notCompared << QString::number(s.slot + 1);
        else if (!s.comparison->differences.empty())
            differing.push_back({s.slot, s.comparison->differences});
    }
    std::vector<std::pair<QString, QString>> rows = {
        {QStringLiteral("Plik wzorcowy"), m_r.referenceFile},
        {QStringLiteral("Charakterystyk w pliku"), QString::number(m_r.referenceCount)},
        {QStringLiteral("Wynik"), DifferenceSummary(differing)},
    };
    if (!notCompared.isEmpty())
        rows.push_back({QStringLiteral("Nieporównane"),
                        QStringLiteral("charakterystyki nr %1").arg(notCompared.join(", "))});
    m_flow.Pairs(rows, m_fonts, m_flow.Mm(54));
    m_flow.Space(m_flow.Mm(4));
}

void ReportDrawing::VerificationSection() {
    m_flow.Section(m_r.verificationTitle, m_fonts.section, m_flow.Mm(10));
    std::vector<Row> rows;
    for (const ReportCheck& c : m_r.verification)
        rows.push_back(
            {{c.what, c.result, c.passed ? QStringLiteral("OK") : QStringLiteral("BŁĄD")}});
    m_flow.Table({{QStringLiteral("Sprawdzenie"), 3.0},
                  {QStringLiteral("Wynik"), 3.0},
                  {QStringLiteral("Ocena"), 0.8}},
                 rows, m_fonts);
    m_flow.Space(m_flow.Mm(4));
}

void ReportDrawing::Overview() {
    m_flow.Section(QStringLiteral("Spis charakterystyk"), m_fonts.section, m_flow.Mm(10));
    std::vector<Column> columns = {{QStringLiteral("Nr"), 0.5},
                                   {QStringLiteral("Kod"), 0.6},
                                   {QStringLiteral("Nazwa"), 1.3},
                                   {QStringLiteral("Opis"), 2.7},
                                   {QStringLiteral("Zakres wilgotności"), 1.4},
                                   {QStringLiteral("Stan"), 1.1}};
    const bool compared = !m_r.referenceFile.isEmpty();
    if (compared) columns.push_back({QStringLiteral("Porównanie z plikiem"), 1.5});
    std::vector<Row> rows;
    for (const ReportSlot& s : m_r.table) {
        const CharRecData& rec = s.rec;
        Row row;
        row.cells << QString::number(s.slot + 1);
        if (rec.valid) {
            row.cells << Field(rec.CODE, CharRecData::kCodeLen)
                      << Field(rec.NAME, CharRecData::kNameLen)
                      << Field(rec.DESC, CharRecData::kDescLen)
                      << (CurveShown(rec, m_r.serviceMode) ? HumidityRangeText(rec) : kProtected);
        } else {
            row.cells << QString() << QString() << QString() << QString();
        }
        row.cells << SlotStateText(rec);
        if (compared) row.cells << (s.comparison ? ComparisonText(*s.comparison) : QString());
        row.muted = !rec.valid || rec.ENABLE != 1;
        rows.push_back(row);
    }
    m_flow.Table(columns, rows, m_fonts);
    m_flow.Space(m_flow.Mm(4));
}

// One slot: a heading, its fields in two columns, its points in two groups
// beside the graph, kept on one page; then its comparison.
void ReportDrawing::SlotBlock(const ReportSlot& s) {
    const CharRecData& rec = s.rec;
    const QString state = SlotStateText(rec);
    const Laid heading = m_flow.Lay(
        m_fonts.heading,
        QStringLiteral("Charakterystyka nr %1 — %2").arg(s.slot + 1).arg(state.toLower()),
        m_flow.Width());
    const double gap = m_flow.Mm(1.2);
    const bool details = rec.valid && state != QLatin1String("Pusta");
    if (!details) {
        Keep(heading.height + gap);
        m_flow.Need(heading.height + gap);
        m_flow.Place(heading.height + gap, [heading](QPainter& p, const QRectF& r) {
            DrawLaid(p, heading, r.topLeft());
        });
        Comparison(s);
        m_flow.Space(gap);
        return;
    }

    // Fields: up to two label/value pairs per row.
    const bool curve = CurveShown(rec, m_r.serviceMode);
    QString coefficients = kProtected;
    if (curve) {
        QStringList c;
        const char* names[] = {"A", "B", "C", "D"};
        for (int i = 0; i < CharRecData::kCoefficients; ++i)
            c << QStringLiteral("%1 = %2").arg(QLatin1String(names[i]), Number(rec.COMPENS[i]));
        coefficients = c.join(QStringLiteral(";   "));
    }
    using Pair = std::pair<QString, QString>;
    const std::vector<std::vector<Pair>> grid = {
        {{QStringLiteral("Kod"), Field(rec.CODE, CharRecData::kCodeLen)},
         {QStringLiteral("Nazwa"), Field(rec.NAME, CharRecData::kNameLen)}},
        {{QStringLiteral("Opis"), Field(rec.DESC, CharRecData::kDescLen)}},
        {{QStringLiteral("Świadectwo wzorcowania"),
          Field(rec.CERTIFICATE, CharRecData::kCertificateLen)},
         {QStringLiteral("Metoda pomiarowa"), Method(rec.METHOD)}},
        {{QStringLiteral("Kompensacja temperaturowa"), Flag(rec.COMPENSATION)},
         {QStringLiteral("Ochrona hasłem"), Flag(rec.PASSWORD)}},
        {{QStringLiteral("Data utworzenia"), Date(rec.CREATE_TIME)},
         {QStringLiteral("Data zapisania"), Date(rec.SAVE_TIME)}},
        {{QStringLiteral("Współczynniki"), coefficients}},
    };
    const double labelWidth = m_flow.Mm(45);
    const double half = m_flow.Width() / 2;
    struct Cell {
        Laid label, value;
        double x;
    };
    std::vector<std::pair<double, std::vector<Cell>>> rows;  // height, cells
    double fieldsHeight = 0.0;
    for (const std::vector<Pair>& row : grid) {
        std::vector<Cell> cells;
        double height = 0.0;
        for (size_t i = 0; i < row.size(); ++i) {
            const double x = i * half;
            const double width = row.size() == 1 ? m_flow.Width() : half;
            Cell c{m_flow.Lay(m_fonts.label, row[i].first, labelWidth - m_flow.Mm(2)),
                   m_flow.Lay(m_fonts.body, row[i].second, width - labelWidth - m_flow.Mm(2)), x};
            height = std::max({height, c.label.height, c.value.height});
            cells.push_back(c);
        }
        height += m_flow.Mm(0.4);
        rows.emplace_back(height, cells);
        fieldsHeight += height;
    }

    // Points: 1-8 and 9-15 side by side; those past the active count in grey.
    const int active = std::min<int>(rec.ACTIVE, CharRecData::kPoints);
    const double lineHeight = m_flow.Lay(m_fonts.small, QStringLiteral("0"), m_flow.Width()).height;
    const double groupWidth = m_flow.Mm(52);
    const double columnX[] = {0.0, m_flow.Mm(8), m_flow.Mm(29)};
    const double pointsTop = m_flow.Mm(1.5);
    const Laid pointsCaption =
        curve ? m_flow.Lay(m_fonts.label,
                           QStringLiteral("Punkty krzywej (aktywne: %1 z %2)")
                               .arg(active)
                               .arg(CharRecData::kPoints),
                           2 * groupWidth)
              : m_flow.Lay(m_fonts.label, QStringLiteral("Punkty krzywej i wykres: ") + kProtected,
                           m_flow.Width());
    const std::optional<graphpaint::GraphData> graph =
        curve ? graphpaint::CharRecGraphData(rec) : std::nullopt;
    const double graphWidth = m_flow.Width() - 2 * groupWidth - m_flow.Mm(6);
    const double graphHeight = m_flow.Mm(46);
    double lowerHeight = pointsTop + pointsCaption.height;
    if (curve) {
        const double pointsHeight = lowerHeight + 9 * lineHeight;
        lowerHeight = std::max(pointsHeight, pointsTop + graphHeight);
    }
    const Laid noGraph = m_flow.Lay(
        m_fonts.body, QStringLiteral("Wykres: brak (charakterystyka nieaktywna)"), graphWidth);
    const double total = heading.height + gap + fieldsHeight + lowerHeight + gap;

    Keep(total);
    m_flow.Need(total);
    const QFont smallFont = m_fonts.small;
    const double groupGap = m_flow.Mm(2);
    m_flow.Place(total, [=](QPainter& p, const QRectF& r) {
        double y = r.top();
        DrawLaid(p, heading, QPointF(r.left(), y));
        y += heading.height + gap * 0.5;
        p.setPen(QPen(QColor::fromRgb(kRule), 0));
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
        y += gap * 0.5;
        for (const auto& [height, cells] : rows) {
            for (const Cell& c : cells) {
                DrawLaid(p, c.label, QPointF(r.left() + c.x, y), kMuted);
                DrawLaid(p, c.value, QPointF(r.left() + c.x + labelWidth, y));
            }
            y += height;
        }
        y += pointsTop;
        DrawLaid(p, pointsCaption, QPointF(r.left(), y));
        if (!curve) return;
        double py = y + pointsCaption.height;
        p.setFont(smallFont);
        const QFontMetricsF fm(smallFont, p.device());
        auto cell = [&](double x, double top, const QString& text, QRgb color) {
            p.setPen(QColor::fromRgb(color));
            p.drawText(QPointF(x, top + fm.ascent()), text);
        };
        for (int g = 0; g < 2; ++g) {
            const double gx = r.left() + g * (groupWidth + groupGap);
            cell(gx + columnX[0], py, QStringLiteral("Nr"), kMuted);
            cell(gx + columnX[1], py, QStringLiteral("Wilgotność"), kMuted);
            cell(gx + columnX[2], py, QStringLiteral("Wartość"), kMuted);
            for (int k = 0; k < 8; ++k) {
                const int i = g * 8 + k;
                if (i >= CharRecData::kPoints) break;
                const QRgb color = i < active ? 0x000000 : kMuted;
                const double top = py + (k + 1) * lineHeight;
                cell(gx + columnX[0], top, QString::number(i + 1), color);
                cell(gx + columnX[1], top, Number(rec.RH[i]), color);
                cell(gx + columnX[2], top, Number(rec.VALUE[i]), color);
            }
        }
        const double gx = r.right() - graphWidth;
        if (!graph) {
            DrawLaid(p, noGraph, QPointF(gx, y));
            return;
        }
        p.save();
        p.translate(gx, y);
        p.scale(kGraphPixel, kGraphPixel);
        graphpaint::PaintGraph(
            p, QRect(0, 0, int(graphWidth / kGraphPixel), int(graphHeight / kGraphPixel)), *graph);
        p.restore();
    });
    Comparison(s);
    m_flow.Space(gap);
}

void ReportDrawing::Comparison(const ReportSlot& s) {
    if (!s.comparison) return;
    const ReportComparison& c = *s.comparison;
    m_flow.Text(m_fonts.body,
                QStringLiteral("Porównanie z plikiem wzorcowym: ") + ComparisonText(c));
    if (c.kind != ReportComparison::Kind::Compared || c.differences.empty()) return;
    std::vector<Row> rows;
    for (const FieldDifference& d : c.differences) rows.push_back({{d.field, d.meter, d.file}});
    m_flow.Table({{QStringLiteral("Pole"), 1.4},
                  {QStringLiteral("Miernik"), 1.6},
                  {QStringLiteral("Plik wzorcowy"), 1.6}},
                 rows, m_fonts);
}

void ReportDrawing::JournalSection() {
    m_flow.Section(QStringLiteral("Dziennik zmian"), m_fonts.section, m_flow.Mm(12));
    if (!m_r.journal) {
        m_flow.Text(m_fonts.body, QStringLiteral("Dziennik zmian nie został odczytany."));
        return;
    }
    const MeterReport::Journal& j = *m_r.journal;
    const QString serial = m_r.meter->serialNumber.valid
                               ? QString::number(m_r.meter->serialNumber.serialNumber)
                               : QStringLiteral("?");
    QString intro = QStringLiteral("Wpisy miernika nr %1").arg(serial);
    if (j.since) intro += QStringLiteral(" od %1").arg(j.since->toString(Qt::ISODate));
    intro += QStringLiteral(", od najnowszych (plik: %1): %2.").arg(j.path).arg(j.entries.size());
    m_flow.Text(m_fonts.body, intro);
    m_flow.Space(m_flow.Mm(1.5));
    if (j.entries.empty()) return;
    std::vector<Row> rows;
    for (const JournalEntry& e : j.entries) {
        QString change = TargetText(e);
        if (e.restoredFrom > 0)
            change += QStringLiteral(" (przywrócenie wpisu nr %1)").arg(e.restoredFrom);
        QString outcome = OutcomeText(e);
        if (!e.message.isEmpty()) outcome += QStringLiteral(": ") + e.message;
        rows.push_back({{JournalTimeText(e.timeMs), e.program, e.user, change, outcome}});
    }
    m_flow.Table({{QStringLiteral("Czas"), 1.3},
                  {QStringLiteral("Program"), 0.9},
                  {QStringLiteral("Konto"), 0.9},
                  {QStringLiteral("Zmiana"), 2.0},
                  {QStringLiteral("Wynik"), 1.9}},
                 rows, m_fonts);
}

}  // namespace

QString ReportTitle(const MeterReport& report) {
    if (!report.meter) return QStringLiteral("Raport pliku zbioru charakterystyk");
    const ReportMeter& m = *report.meter;
    QString title = QStringLiteral("Raport miernika ") + ModelText(m.identity);
    if (m.serialNumber.valid) title += QStringLiteral(" nr %1").arg(m.serialNumber.serialNumber);
    return title;
}

bool RenderReportPdf(const MeterReport& report, QByteArray* pdf, QString* error) {
    // Fonts come from the platform integration of a QGuiApplication.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        *error = QStringLiteral("Nie można narysować raportu: brak dostępu do czcionek");
        return false;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kDpi);
        writer.setCreator(QStringLiteral("kv60x %1").arg(report.programVersion));
        writer.setTitle(ReportTitle(report));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 14, 15, 10), QPageLayout::Millimeter));
        const QRectF page(0, 0, writer.width(), writer.height());
        const double mm = kDpi / 25.4;
        const QRectF area = page.adjusted(0, 0, 0, -9 * mm);
        ReportDrawing drawing(report, writer, area);
        drawing.Build();

        QPainter p;
        if (!p.begin(&writer)) {
            *error = QStringLiteral("Nie można utworzyć dokumentu PDF");
            return false;
        }
        const QString title = ReportTitle(report) + QStringLiteral(", ") +
                              report.created.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        const QFont footerFont = Font(7.5);
        const QFontMetricsF fm(footerFont, &writer);
        drawing.flow().Paint(
            p,
            [&](QPainter& painter, int n, int count) {
                const double line = page.bottom() - 6 * mm;
                painter.setPen(QPen(QColor::fromRgb(kRule), 0));
                painter.drawLine(QPointF(page.left(), line), QPointF(page.right(), line));
                painter.setFont(footerFont);
                painter.setPen(QColor::fromRgb(kMuted));
                const double base = line + 1.5 * mm + fm.ascent();
                painter.drawText(QPointF(page.left(), base), title);
                const QString number = QStringLiteral("Strona %1 z %2").arg(n).arg(count);
                painter.drawText(QPointF(page.right() - fm.horizontalAdvance(number), base),
                                 number);
            },
            [&] { writer.newPage(); });
        if (!p.end()) {
            *error = QStringLiteral("Nie można utworzyć dokumentu PDF");
            return false;
        }
    }
    *pdf = buffer.data();
    return true;
}

bool WriteReportPdf(const QString& path, const MeterReport& report, QString* error) {
    QByteArray bytes;
    QString why;
    if (!RenderReportPdf(report, &bytes, &why)) {
        *error = QStringLiteral("Nie można zapisać raportu: %1 (%2)").arg(path, why);
        return false;
    }
    FileError fileError;
    if (!WriteFileAtomically(path, bytes, &fileError)) {
        *error = QStringLiteral("Nie można zapisać raportu: %1 (%2)").arg(path, fileError.Reason());
        return false;
    }
    return true;
}
