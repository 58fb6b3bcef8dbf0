#pragma once

#include <QString>
#include <optional>

#include "meter/char_image.h"
#include "records/char_rec_data.h"
#include "records/char_rec_validation.h"
#include "session/meter_write.h"

// One characteristic in the editor: the record as it was read or handed in
// (the base), the form as the editor shows it, and the bytes the slot held.
//
// Exact unless edited: a field still showing its shown text keeps the base's
// exact value (see ValidateCharRec). The base changes only when the user
// changes a stored value itself (a point in the point dialog, an import) or a
// write has succeeded, never by a write that failed: after a failure, what
// the form shows is what the next OK sends, and points the list does not show
// keep the base's values until the count is edited.
class CharRecEdit {
public:
    explicit CharRecEdit(bool serviceMode = false) : m_serviceMode(serviceMode) {}

    // A record handed in (from the table), for slot `slot`.
    void Load(const CharRecData& rec, int slot, int32_t now);
    // The record the meter sent for `slot`, with its bytes as they came.
    void LoadRead(const CharRecData& rec, const CharImage& image, int slot, int32_t now);
    // Nothing could be read: an empty form for `slot`, no bytes known.
    void LoadUnread(int slot, int32_t now);

    const CharRecData& Base() const { return m_base; }
    const CharRecForm& Shown() const { return m_shown; }
    int Slot() const { return m_slot; }
    bool ServiceMode() const { return m_serviceMode; }
    bool SlotRead() const { return m_image.has_value(); }
    // The bytes the slot holds as last read or written (nullopt: unknown).
    const std::optional<CharImage>& Image() const { return m_image; }
    // May the record be shown (a password-protected one needs service mode)?
    bool MayShow() const;

    // The date pickers hold times in their own range: the shown times are
    // what they hold, so that untouched pickers compare equal.
    void SetShownTimes(int32_t createTime, int32_t saveTime);

    // What OK, "Wykres" and "Eksportuj" take from the form as the user left it.
    CharRecValidation Validate(const CharRecForm& form) const;

    // A point changed in the point dialog: the base and the shown form change
    // together.
    void SetPoint(int row, double humidity, double value);

    // A record loaded from a file goes into the editor with the save time
    // `now`, for this slot. Outside service mode a password-protected record
    // is refused with the window's message (`refusal`).
    bool Import(const CharRecData& loaded, int32_t now, QString* refusal);

    // The write of a validated record to the slot, with the bytes read as the
    // value before.
    MeterWrite WriteOf(const CharRecData& validated) const;
    // The write succeeded: the record written is the new base.
    void Written(const CharRecData& written, int32_t now);

private:
    bool m_serviceMode = false;
    int m_slot = 0;
    CharRecData m_base;
    CharRecForm m_shown;
    std::optional<CharImage> m_image;
};
