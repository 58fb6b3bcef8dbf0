#include "characteristics/widgets/char_rec_graph_dlg.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "characteristics/graph_paint.h"
#include "characteristics/widgets/graph.h"
#include "ui/prompts.h"

namespace {

const QString kPngFilter = QStringLiteral("Obraz PNG (*.png)");
const QString kPdfFilter = QStringLiteral("Dokument PDF (*.pdf)");

}  // namespace

CCharRecGraphDlg::CCharRecGraphDlg(const CharRecData& rec, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Wykres charakterystyki"));
    setSizeGripEnabled(true);

    m_graph = new CGraph(this);
    m_graph->setMinimumSize(120, 80);
    m_saveButton = new QPushButton(QStringLiteral("Zapisz obraz..."), this);
    m_saveButton->setAccessibleName(QStringLiteral("Zapisz obraz..."));
    m_saveButton->setAutoDefault(false);

    const int m = FrameMargin();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(m, m, m, m);
    layout->setSpacing(m);
    layout->addWidget(m_graph, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_saveButton);
    layout->addLayout(buttons);

    connect(m_saveButton, &QPushButton::clicked, this, &CCharRecGraphDlg::SaveImage);

    Fill(rec);
    resize(640, 440);
}

int CCharRecGraphDlg::FrameMargin() const {
    return std::clamp(style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this), 6, 20);
}

void CCharRecGraphDlg::Fill(const CharRecData& rec) {
    // The meter report draws records from the same data.
    if (const std::optional<graphpaint::GraphData> data = graphpaint::CharRecGraphData(rec))
        m_graph->SetData(*data);
}

void CCharRecGraphDlg::SaveImage() {
    Prompts::FileRequest req;
    req.title = QStringLiteral("Zapisz obraz");
    req.filters = QStringList{kPngFilter, kPdfFilter};
    req.defaultSuffix = QStringLiteral("png");
    req.initialName = QStringLiteral("wykres.png");
    const std::optional<Prompts::FileChoice> choice = Prompts::instance().saveFile(this, req);
    if (!choice || choice->path.isEmpty()) return;

    // The name's own suffix decides; a name without one takes the filter's.
    QString path = choice->path;
    const QString suffix = QFileInfo(path).suffix().toLower();
    CGraph::ImageFormat format = CGraph::ImageFormat::Png;
    if (suffix == QLatin1String("pdf")) {
        format = CGraph::ImageFormat::Pdf;
    } else if (suffix != QLatin1String("png")) {
        format = choice->filterIndex == 1 ? CGraph::ImageFormat::Pdf : CGraph::ImageFormat::Png;
        path +=
            format == CGraph::ImageFormat::Pdf ? QStringLiteral(".pdf") : QStringLiteral(".png");
    }
    if (!m_graph->SaveImage(path, format))
        Prompts::instance().message(this, QStringLiteral("Nie można zapisać obrazu"),
                                    Prompts::Icon::Warning);
}

void ShowCharRecGraph(QWidget* parent, const CharRecData& rec) {
    CCharRecGraphDlg dlg(rec, parent);
    dlg.exec();
}
