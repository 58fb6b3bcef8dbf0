#include "session/char_rec_edit.h"

#include "records/char_rec_format.h"

void CharRecEdit::Load(const CharRecData& rec, int slot, int32_t now) {
    m_slot = slot;
    m_base = rec;
    m_base.REC_NUMBER = static_cast<uint8_t>(slot);
    m_image.reset();
    m_shown = CharRecFormFromRecord(m_base, m_serviceMode, now);
}

void CharRecEdit::LoadRead(const CharRecData& rec, const CharImage& image, int slot, int32_t now) {
    Load(rec, slot, now);
    m_image = image;
}

void CharRecEdit::LoadUnread(int slot, int32_t now) {
    CharRecData empty;
    empty.valid = 0;
    Load(empty, slot, now);
}

bool CharRecEdit::MayShow() const {
    return !m_base.valid || CharRecAccessAllowed(m_base, m_serviceMode);
}

void CharRecEdit::SetShownTimes(int32_t createTime, int32_t saveTime) {
    m_shown.createTime = createTime;
    m_shown.saveTime = saveTime;
}

CharRecValidation CharRecEdit::Validate(const CharRecForm& form) const {
    CharRecForm f = form;
    f.serviceMode = m_serviceMode;
    return ValidateCharRec(f, m_base, &m_shown);
}

void CharRecEdit::SetPoint(int row, double humidity, double value) {
    if (row < 0 || row >= CharRecData::kPoints) return;
    m_base.RH[row] = humidity;
    m_base.VALUE[row] = value;
    m_shown.humidity[row] = FormatHumidity(humidity);
    m_shown.value[row] = FormatValue(value);
}

bool CharRecEdit::Import(const CharRecData& loaded, int32_t now, QString* refusal) {
    if (!CharRecAccessAllowed(loaded, m_serviceMode)) {
        *refusal = charrecmsg::AccessDenied();
        return false;
    }
    CharRecData rec = loaded;
    rec.SAVE_TIME = now;
    const std::optional<CharImage> image = m_image;
    Load(rec, m_slot, now);
    m_image = image;  // the slot still holds what was read
    return true;
}

MeterWrite CharRecEdit::WriteOf(const CharRecData& validated) const {
    CharRecData rec = validated;
    rec.REC_NUMBER = static_cast<uint8_t>(m_slot);
    return MeterWrite::Characteristic(
        rec, m_image ? std::optional<QByteArray>(ImageBytes(*m_image)) : std::nullopt);
}

void CharRecEdit::Written(const CharRecData& written, int32_t now) {
    const CharImage image = EncodeCharImage(written);
    Load(written, m_slot, now);
    m_image = image;
}
