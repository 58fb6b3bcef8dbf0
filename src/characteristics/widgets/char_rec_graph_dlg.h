#pragma once

#include <QDialog>

#include "records/char_rec_data.h"

class CGraph;
class QPushButton;

// "Wykres charakterystyki": one characteristic drawn as humidity against the
// parameter value, in a resizable window. The curve can be saved as a PNG
// picture or a PDF page for reports.
class CCharRecGraphDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCharRecGraphDlg(const CharRecData& rec, QWidget* parent = nullptr);

    CGraph* Graph() const { return m_graph; }
    QPushButton* SaveButton() const { return m_saveButton; }

    // Margin between the window's edge and the graph, in pixels (6..20).
    int FrameMargin() const;

    // Asks for a file and writes the graph into it.
    void SaveImage();

private:
    void Fill(const CharRecData& rec);

    CGraph* m_graph = nullptr;
    QPushButton* m_saveButton = nullptr;
};

// Shows the graph of `rec` modally.
void ShowCharRecGraph(QWidget* parent, const CharRecData& rec);
