#include "records/char_rec_validation.h"

#include "records/char_rec_format.h"
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

CharRecForm CharRecFormFromRecord(const CharRecData& rec, bool serviceMode, int32_t now) {
    CharRecForm f;
    f.enableChecked = rec.ENABLE != 0;
    f.passwordChecked = rec.PASSWORD != 0;
    f.compensationChecked = rec.COMPENSATION != 0;
    f.resistiveChecked = rec.METHOD == 0;
    f.capacitiveChecked = rec.METHOD == 1;
    f.code = FixedFieldTextUnpadded(rec.CODE, sizeof rec.CODE);
    f.name = FixedFieldTextUnpadded(rec.NAME, sizeof rec.NAME);
    f.desc = FixedFieldTextUnpadded(rec.DESC, sizeof rec.DESC);
    f.certificate = FixedFieldTextUnpadded(rec.CERTIFICATE, sizeof rec.CERTIFICATE);
    f.createTime = rec.CREATE_TIME > 0 ? rec.CREATE_TIME : now;
    f.saveTime = rec.SAVE_TIME > 0 ? rec.SAVE_TIME : now;
    f.count = QString::number(rec.ACTIVE);
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        f.humidity[i] = FormatHumidity(rec.RH[i]);
        f.value[i] = FormatValue(rec.VALUE[i]);
    }
    for (int k = 0; k < CharRecData::kCoefficients; ++k) {
        f.coefficient[k] = FormatCoefficient(rec.COMPENS[k]);
    }
    f.serviceMode = serviceMode;
    return f;
}

CharRecValidation ValidateCharRec(const CharRecForm& form, const CharRecData& base,
                                  const CharRecForm* shown) {
    // The shown text of a field, or null when nothing was shown.
    auto was = [shown](const QString CharRecForm::*field) -> const QString* {
        return shown ? &(shown->*field) : nullptr;
    };

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

    // An edited text is padded to its length; an untouched one keeps its bytes.
    if (TextEdited(form.code, was(&CharRecForm::code))) {
        SetFixedField(d.CODE, CharRecData::kCodeLen, form.code);
    }
    if (TextEdited(form.certificate, was(&CharRecForm::certificate))) {
        SetFixedField(d.CERTIFICATE, CharRecData::kCertificateLen, form.certificate);
    }
    if (TextEdited(form.desc, was(&CharRecForm::desc))) {
        SetFixedField(d.DESC, CharRecData::kDescLen, form.desc);
    }
    if (TextEdited(form.name, was(&CharRecForm::name))) {
        SetFixedField(d.NAME, CharRecData::kNameLen, form.name);
    }

    if (!shown || form.createTime != shown->createTime) d.CREATE_TIME = form.createTime;
    if (!shown || form.saveTime != shown->saveTime) d.SAVE_TIME = form.saveTime;

    const int count = ParseInt(form.count);
    if (count < 2 || count > CharRecData::kPoints) {
        return Fail(d, charrecmsg::PointCount(), CharRecFocus::CountEdit);
    }
    d.ACTIVE = static_cast<uint8_t>(count);

    const bool countEdited = TextEdited(form.count, was(&CharRecForm::count));
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        if (i >= count && !countEdited) continue;  // hidden as before: kept
        d.RH[i] =
            NumberUnlessEdited(form.humidity[i], shown ? &shown->humidity[i] : nullptr, base.RH[i]);
        d.VALUE[i] =
            NumberUnlessEdited(form.value[i], shown ? &shown->value[i] : nullptr, base.VALUE[i]);
    }
    if (!Monotonic(d.RH, count)) {
        return Fail(d, charrecmsg::ArgumentsOrder(), CharRecFocus::None);
    }
    if (!Monotonic(d.VALUE, count)) {
        return Fail(d, charrecmsg::ValuesMonotonic(), CharRecFocus::None);
    }

    for (int k = 0; k < CharRecData::kCoefficients; ++k) {
        d.COMPENS[k] = NumberUnlessEdited(
            form.coefficient[k], shown ? &shown->coefficient[k] : nullptr, base.COMPENS[k]);
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
