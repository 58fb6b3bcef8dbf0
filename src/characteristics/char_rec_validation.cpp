#include "characteristics/char_rec_validation.h"

#include "characteristics/char_rec_format.h"
#include "records/cp1250.h"

namespace charrecmsg {
QString SelectMethod() {
    return QStringLiteral("Proszę wybrać metodę pomiaru");
}
QString PointCount() {
    return QStringLiteral("Liczba punktów pomiarowych powinna zawierać się\nw przedziale <2, 15>");
}
QString ArgumentsOrder() {
    return QStringLiteral("Argumenty funkcji charakterystyki powinny być ułożone w kolejności");
}
QString ValuesMonotonic() {
    return QStringLiteral("Wartości funkcji charakterystyki powinny być rosnące lub malejące");
}
QString AccessDenied() {
    return QStringLiteral("Brak dostępu do charakterystyki - ochrona hasłem");
}
}  // namespace charrecmsg

namespace {

// Strictly monotonic over points 0..active-1, the direction set by points 0 and 1.
bool Monotonic(const double* p, int active) {
    const double d = p[1] < p[0] ? -1.0 : 1.0;
    for (int i = 0; i + 1 < active; ++i) {
        if (d * p[i + 1] < d * p[i] || p[i + 1] == p[i]) return false;
    }
    return true;
}

CharRecValidation Fail(const CharRecData& data, QString message, CharRecFocus focus) {
    CharRecValidation r;
    r.data = data;
    r.message = std::move(message);
    r.focus = focus;
    return r;
}

}  // namespace

CharRecValidation ValidateCharRec(const CharRecForm& form, const CharRecData& base) {
    CharRecData d = base;
    d.ENABLE = form.enableChecked ? 1 : 0;
    d.PASSWORD = (form.serviceMode && form.passwordChecked) ? 1 : 0;
    d.COMPENSATION = form.compensationChecked ? 1 : 0;

    if (form.resistiveChecked) {
        d.METHOD = 0;
    } else if (form.capacitiveChecked) {
        d.METHOD = 1;
    } else {
        return Fail(d, charrecmsg::SelectMethod(), CharRecFocus::MethodRadio);
    }

    SetFixedField(d.CODE, CharRecData::kCodeLen, form.code);
    SetFixedField(d.CERTIFICATE, CharRecData::kCertificateLen, form.certificate);
    SetFixedField(d.DESC, CharRecData::kDescLen, form.desc);
    SetFixedField(d.NAME, CharRecData::kNameLen, form.name);

    d.CREATE_TIME = form.createTime;
    d.SAVE_TIME = form.saveTime;

    const int count = ParseInt(form.count);
    if (count < 2 || count > CharRecData::kPoints) {
        return Fail(d, charrecmsg::PointCount(), CharRecFocus::CountEdit);
    }
    d.ACTIVE = static_cast<uint8_t>(count);

    for (int i = 0; i < CharRecData::kPoints; ++i) {
        d.RH[i] = ParseNumber(form.humidity[i]);
        d.VALUE[i] = ParseNumber(form.value[i]);
    }
    if (!Monotonic(d.RH, count)) {
        return Fail(d, charrecmsg::ArgumentsOrder(), CharRecFocus::None);
    }
    if (!Monotonic(d.VALUE, count)) {
        return Fail(d, charrecmsg::ValuesMonotonic(), CharRecFocus::None);
    }

    for (int k = 0; k < CharRecData::kCoefficients; ++k) {
        d.COMPENS[k] = ParseNumber(form.coefficient[k]);
    }
    d.valid = 1;

    CharRecValidation r;
    r.ok = true;
    r.data = d;
    return r;
}

bool CharRecAccessAllowed(const CharRecData& rec, bool serviceMode) {
    return serviceMode || rec.PASSWORD != 1;
}
