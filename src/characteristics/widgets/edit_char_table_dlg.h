#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

// "Wartość tabeli charakterystyki": one point of the curve, its humidity and
// its value. Typed numbers accept a comma; each is kept in single precision. A
// number left as shown keeps its exact value.
class CEditCharTableDlg : public QDialog {
    Q_OBJECT
public:
    CEditCharTableDlg(double humidity, double value, QWidget* parent = nullptr);

    double Humidity() const { return m_humidity; }
    double Value() const { return m_value; }

    QLineEdit* HumidityEdit() const { return m_humidityEdit; }
    QLineEdit* ValueEdit() const { return m_valueEdit; }

public slots:
    void OnOk();

private:
    double m_humidity = 0.0;  // exact until OK reads an edited text
    double m_value = 0.0;
    QString m_shownHumidity;  // the texts the edits were filled with
    QString m_shownValue;
    QLineEdit* m_humidityEdit = nullptr;
    QLineEdit* m_valueEdit = nullptr;
};
