#include "session/char_diff.h"

#include <QStringList>

#include "journal/journal_fields.h"
#include "meter/char_image.h"
#include "session/meter_write.h"

namespace {

// Bytes no field covers: 1, 2, the high nibbles of 3 and 4, 218 to 254.
QString ReservedBytes(const QByteArray& image, const QByteArray& other) {
    QStringList out;
    auto add = [&](int i, uint8_t mask) {
        const auto a = static_cast<uint8_t>(image.at(i)) & mask;
        const auto b = static_cast<uint8_t>(other.at(i)) & mask;
        if (a != b)
            out << QStringLiteral("%1: %2").arg(i).arg(a, 2, 16, QLatin1Char('0')).toUpper();
    };
    add(1, 0xFF);
    add(2, 0xFF);
    add(3, 0xF0);
    add(4, 0xF0);
    for (int i = 218; i < 255; ++i) add(i, 0xFF);
    return out.join(QStringLiteral(", "));
}

}  // namespace

std::vector<FieldDifference> CompareSlot(const QByteArray& meterImage,
                                         const CharRecData& fileRecord, int slot,
                                         bool serviceMode) {
    CharRecData rec = fileRecord;
    rec.REC_NUMBER = static_cast<uint8_t>(slot);
    const QByteArray sent = ImageBytes(EncodeCharImage(rec));
    std::vector<FieldDifference> out;
    if (meterImage.size() == sent.size() && meterImage.left(255) == sent.left(255)) return out;
    JournalEntry pair;
    pair.target = JournalTarget::Characteristic;
    pair.slot = slot;
    pair.before = meterImage;
    pair.after = sent;
    for (const JournalFieldRow& row : JournalFieldRows(pair, serviceMode)) {
        if (row.changed) out.push_back({row.name, row.before, row.after});
    }
    if (out.empty() && meterImage.size() == sent.size()) {
        out.push_back({QStringLiteral("bajty zastrzeżone"), ReservedBytes(meterImage, sent),
                       ReservedBytes(sent, meterImage)});
    }
    return out;
}

QString DifferenceSummary(const std::vector<SlotDifference>& differences) {
    if (differences.empty()) return QStringLiteral("Miernik zgodny z plikiem");
    QStringList numbers;
    for (const SlotDifference& s : differences) numbers << QString::number(s.slot + 1);
    return QStringLiteral("Różnice: charakterystyki nr %1").arg(numbers.join(QStringLiteral(", ")));
}
