#pragma once

#include <QDialog>

class QLineEdit;

// "Wartość tabeli charakterystyki": one point of the curve, its humidity and
// its value. Typed numbers accept a comma; each is kept in single precision.
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
    double m_humidity = 0.0;
    double m_value = 0.0;
    QLineEdit* m_humidityEdit = nullptr;
    QLineEdit* m_valueEdit = nullptr;
};
