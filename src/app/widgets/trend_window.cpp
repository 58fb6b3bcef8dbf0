#include "app/widgets/trend_window.h"

#include "ui/picture_export.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <ctime>

#include "files/safe_file.h"
#include "session/registration.h"
#include "ui/accessibility.h"
#include "ui/mem_dc.h"
#include "ui/prompts.h"

using namespace trendmath;

namespace {

const QString kSpanLabel = QStringLiteral("Zakres czasu:");
const QString kSaveImageText = QStringLiteral("Zapisz obraz...");
const QString kSaveDataText = QStringLiteral("Zapisz dane...");
const QString kPngFilter = QStringLiteral("Obraz PNG (*.png)");
const QString kPdfFilter = QStringLiteral("Dokument PDF (*.pdf)");
const QString kCsvFilter = QStringLiteral("Lista CSV (*.csv)");
const QString kTxtFilter = QStringLiteral("Plik tekstowy (*.txt)");

QColor Blend(const QColor& a, const QColor& b, double share) {
    return QColor::fromRgbF(a.redF() * share + b.redF() * (1 - share),
                            a.greenF() * share + b.greenF() * (1 - share),
                            a.blueF() * share + b.blueF() * (1 - share));
}

int64_t UtcOffsetMs() {
    return int64_t(QDateTime::currentDateTime().offsetFromUtc()) * 1000;
}

}  // namespace

// ---- chart ------------------------------------------------------------------------

TrendChart::TrendChart(const TrendHistory* history, QWidget* parent)
    : QWidget(parent), m_history(history) {
    accessibility::SetRole(this, QAccessible::Chart);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(TrendWindow::kTitle);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TrendChart::SetSpan(Span span) {
    if (span == m_span) return;
    m_span = span;
    update();
}

void TrendChart::SetColors(const QColor& background, const QColor& text) {
    if (background == m_background && text == m_text) return;
    m_background = background;
    m_text = text;
    update();
}

void TrendChart::ShownRange(size_t& first, size_t& last) const {
    const SampleRing& ring = m_history->Samples();
    const int64_t t1 = m_history->NewestTimeMs();
    first = ring.LowerBound(t1 - SpanMs(m_span));
    last = ring.size();
}

SpanStats TrendChart::ShownStats() const {
    size_t first = 0, last = 0;
    ShownRange(first, last);
    return ComputeStats(m_history->Samples(), first, last);
}

void TrendChart::paintEvent(QPaintEvent*) {
    ++m_paintCount;
    QPainter target(this);
    CMemDC mem(target, rect(), m_background);
    DrawChart(mem.painter(), rect());
}

void TrendChart::DrawChart(QPainter& p, const QRect& rect) const {
    p.save();
    p.fillRect(rect, m_background);
    p.setFont(font());
    const QFontMetrics fm(font());
    const int textH = fm.height();

    size_t first = 0, last = 0;
    ShownRange(first, last);
    const SampleRing& ring = m_history->Samples();
    const SpanStats stats = ComputeStats(ring, first, last);

    // Plot area: value labels on the left, the unit above them, time labels below.
    const int timeLabelW = fm.horizontalAdvance(QStringLiteral("00:00:00"));
    const int left0 = rect.left() + 8;
    const int top = rect.top() + textH + 8;
    const int bottom = rect.bottom() - textH - 8;  // last row of the plot
    const int right = rect.right() - timeLabelW / 2 - 6;
    int plotH = bottom - top + 1;
    const ValueAxis axis = ChooseValueAxis(stats, plotH);
    const int labelW = std::max(fm.horizontalAdvance(QString::number(axis.lower)),
                                fm.horizontalAdvance(QString::number(axis.upper)));
    // Wide enough for the value labels and for half of the first time label.
    const int left = std::max(left0 + labelW + 6, rect.left() + timeLabelW / 2 + 4);
    const int plotW = right - left + 1;

    View view;
    view.left = left;
    view.top = top;
    view.width = std::max(plotW, 1);
    view.height = std::max(plotH, 1);
    view.t1 = m_history->NewestTimeMs();
    view.t0 = view.t1 - SpanMs(m_span);
    view.v0 = axis.lower;
    view.v1 = axis.upper;
    m_lastView = view;
    m_lastTrace.clear();
    if (plotW < 20 || plotH < 20) {
        p.restore();
        return;
    }

    const QColor grid = Blend(m_text, m_background, 0.2);
    const QRect plot(left, top, plotW, plotH);

    // Value scale: whole degrees, the unit above.
    p.setPen(m_text);
    p.drawText(QRect(rect.left() + 4, rect.top() + 2, left - rect.left(), textH),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("°C"));
    for (int v = axis.lower; v <= axis.upper; v += axis.step) {
        const int y = ValueToY(view, v);
        p.setPen(grid);
        p.drawLine(left, y, left + plotW - 1, y);
        p.setPen(m_text);
        p.drawText(QRect(left0, y - textH / 2, labelW, textH), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v));
    }

    // Time scale: local hh:mm:ss at whole multiples of the step.
    const int64_t step = ChooseTimeStepMs(view.t1 - view.t0, plotW);
    const int64_t wallOffset = m_history->WallOffsetMs();
    for (int64_t t : TimeTicks(view.t0, view.t1, step, wallOffset, UtcOffsetMs())) {
        const int x = TimeToX(view, t);
        p.setPen(grid);
        p.drawLine(x, top, x, top + plotH - 1);
        p.setPen(m_text);
        const QString label =
            QDateTime::fromMSecsSinceEpoch(t + wallOffset).toString(QStringLiteral("hh:mm:ss"));
        p.drawText(QRect(x - timeLabelW, bottom + 4, 2 * timeLabelW, textH), Qt::AlignCenter,
                   label);
    }

    p.setPen(m_text);
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    if (stats.count == 0) {
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("Brak odczytów w wybranym zakresie"));
    }

    // The trace, decimated per pixel column and broken at the gaps.
    m_lastTrace = BuildTrace(ring, first, last, view);
    p.setClipRect(plot);
    // Bevel joins: round joins on the zig-zag of a decimated day cost twice the time.
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(m_text, 2.0, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
    p.setBrush(m_text);
    for (const Polyline& line : m_lastTrace) {
        if (line.size() == 1) {
            p.drawEllipse(QPointF(line.front()), 1.5, 1.5);
        } else {
            p.drawPolyline(line.data(), static_cast<int>(line.size()));
        }
    }
    p.restore();
}

// ---- window -------------------------------------------------------------------------

TrendWindow::TrendWindow(const TrendHistory* history, QWidget* parent)
    : QWidget(parent, Qt::Window), m_history(history) {
    // A window to screen readers, not an anonymous pane.
    accessibility::SetRole(this, QAccessible::Window);
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);

    auto* spanLabel = new QLabel(kSpanLabel, this);
    spanLabel->setAccessibleName(kSpanLabel);
    m_spanBox = new QComboBox(this);
    m_spanBox->addItems({QStringLiteral("10 min"), QStringLiteral("1 h"), QStringLiteral("8 h"),
                         QStringLiteral("24 h")});
    m_spanBox->setAccessibleName(kSpanLabel);
    spanLabel->setBuddy(m_spanBox);
    m_saveImage = new QPushButton(kSaveImageText, this);
    m_saveImage->setAccessibleName(kSaveImageText);
    m_saveData = new QPushButton(kSaveDataText, this);
    m_saveData->setAccessibleName(kSaveDataText);
    m_chart = new TrendChart(history, this);
    m_stats = new QLabel(this);
    m_stats->setAccessibleName(QStringLiteral("Statystyka"));
    m_stats->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->addWidget(spanLabel);
    top->addWidget(m_spanBox);
    top->addStretch(1);
    top->addWidget(m_saveImage);
    top->addWidget(m_saveData);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_chart, 1);
    layout->addWidget(m_stats);

    connect(m_spanBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_chart->SetSpan(static_cast<Span>(std::clamp(index, 0, 3)));
        UpdateStats();
    });
    connect(m_saveImage, &QPushButton::clicked, this, &TrendWindow::SaveImage);
    connect(m_saveData, &QPushButton::clicked, this, &TrendWindow::SaveData);

    resize(720, 440);
    UpdateStats();
}

void TrendWindow::OnNewEntry() {
    // A closed window is brought up to date when it is opened again.
    if (!isVisible()) return;
    m_chart->update();
    UpdateStats();
}

void TrendWindow::SetColors(const QColor& background, const QColor& text) {
    m_chart->SetColors(background, text);
}

void TrendWindow::UpdateStats() {
    const QString text = FormatStats(m_chart->ShownStats());
    if (text != m_stats->text()) m_stats->setText(text);
}

bool TrendWindow::WriteImage(QIODevice& out, ImageFormat format, QSize size) const {
    if (size.width() < 640 || size.height() < 400) size = size.expandedTo(QSize(640, 400));
    return WritePicture(out, format, size, kTitle,
                        [this](QPainter& p, const QRect& area) { m_chart->DrawChart(p, area); });
}

QByteArray TrendWindow::DataText() const {
    const QChar separator = RegistrationSeparator(0);
    const QChar decimal = RegistrationDecimalSign(0);
    size_t first = 0, last = 0;
    m_chart->ShownRange(first, last);
    const SampleRing& ring = m_history->Samples();
    const int64_t offset = m_history->WallOffsetMs();
    QString text = RegistrationHeader(separator);
    for (size_t i = first; i < last; ++i) {
        const Sample& s = ring[i];
        const int64_t wallMs = s.timeMs + offset;
        // Whole seconds toward minus infinity, as the clock showed them.
        const std::time_t when =
            static_cast<std::time_t>(wallMs >= 0 ? wallMs / 1000 : -((-wallMs + 999) / 1000));
        QString value = QStringLiteral("???");
        if (!s.IsGap() && std::isfinite(s.value)) {
            value = QString::asprintf("%.01f", double(s.value));
            value.replace(QChar('.'), decimal);
        }
        text += RegistrationDateTime(when) + separator + value + QStringLiteral("\r\n");
    }
    return text.toLocal8Bit();
}

void TrendWindow::SaveImage() {
    Prompts::FileRequest req;
    req.title = QStringLiteral("Zapisz obraz");
    req.filters = QStringList{kPngFilter, kPdfFilter};
    req.defaultSuffix = QStringLiteral("png");
    req.initialName = QStringLiteral("wykres_temperatury.png");
    const std::optional<Prompts::FileChoice> choice = Prompts::instance().saveFile(this, req);
    if (!choice || choice->path.isEmpty()) return;

    // The name's own extension decides; a name without one takes the filter's.
    QString path = choice->path;
    const QString suffix = QFileInfo(path).suffix().toLower();
    ImageFormat format = ImageFormat::Png;
    if (suffix == QLatin1String("pdf")) {
        format = ImageFormat::Pdf;
    } else if (suffix != QLatin1String("png")) {
        format = choice->filterIndex == 1 ? ImageFormat::Pdf : ImageFormat::Png;
        path += format == ImageFormat::Pdf ? QStringLiteral(".pdf") : QStringLiteral(".png");
    }
    const QSize size = m_chart->size();
    if (!SaveWritten(path, [&](QIODevice& out) { return WriteImage(out, format, size); })) {
        Prompts::instance().message(this, QStringLiteral("Nie można zapisać obrazu"),
                                    Prompts::Icon::Warning);
    }
}

void TrendWindow::SaveData() {
    Prompts::FileRequest req;
    req.title = QStringLiteral("Zapisz dane");
    req.filters = QStringList{kCsvFilter, kTxtFilter};
    req.defaultSuffix = QStringLiteral("csv");
    req.initialName = QStringLiteral("temperatura.csv");
    const std::optional<Prompts::FileChoice> choice = Prompts::instance().saveFile(this, req);
    if (!choice || choice->path.isEmpty()) return;

    QString path = choice->path;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("csv") && suffix != QLatin1String("txt")) {
        path += choice->filterIndex == 1 ? QStringLiteral(".txt") : QStringLiteral(".csv");
    }
    // The data as they are at this moment; written whole or not at all.
    const QByteArray data = DataText();
    if (!WriteFileAtomically(path, data)) {
        Prompts::instance().message(this, QStringLiteral("Nie można zapisać danych"),
                                    Prompts::Icon::Warning);
    }
}
