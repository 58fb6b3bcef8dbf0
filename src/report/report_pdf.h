#pragma once

#include <QByteArray>
#include <QString>

#include "report/report_model.h"

// The meter report as a PDF: A4 portrait, Polish, every page numbered
// "Strona n z m", drawn with Qt's own PDF writer so that every text (names,
// numbers, the graphs' labels) is real text in the file. The curves are
// painted by graphpaint::PaintGraph, as "Wykres" shows them. Outside service
// mode a password-protected record shows "(ochrona hasłem)" in place of its
// coefficients, points and graph.
//
// Fonts need a QGuiApplication (the window's, or kv60x-cli's on the
// "offscreen" platform); without one nothing is drawn. May run on any thread.

// The PDF's bytes; false with `error` (one Polish sentence) when it cannot be
// drawn.
bool RenderReportPdf(const MeterReport& report, QByteArray* pdf, QString* error);

// Draws the report and puts it at `path` whole or not at all
// (WriteFileAtomically: a failure leaves no new file, an old one as it was).
// False with `error`: "Nie można zapisać raportu: PATH (reason)".
bool WriteReportPdf(const QString& path, const MeterReport& report, QString* error);

// The report's title: "Raport miernika KV-607A nr 17", "Raport pliku zbioru
// charakterystyk" for a set file.
QString ReportTitle(const MeterReport& report);
