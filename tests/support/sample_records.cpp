#include "support/sample_records.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "records/cp1250.h"

namespace testsupport {

static double Single(double v) {
    return static_cast<float>(v);
}

SampleRecord::SampleRecord(int slot) {
    REC_NUMBER = static_cast<uint8_t>(slot);
    ENABLE = 1;
    COMPENSATION = 1;
    METHOD = 1;
    Curve(4);
    const double coefficients[] = {0.5123456, -0.0123456789, 1.234567e-6, 1.5e-8};
    std::transform(std::begin(coefficients), std::end(coefficients), COMPENS, Single);
    Name(QStringLiteral("Pszenica"));
    std::memcpy(CODE, "PS", 2);
    SetFixedField(DESC, kDescLen, QStringLiteral("Ziarno łuskane, żółte"));
    SetFixedField(CERTIFICATE, kCertificateLen, QStringLiteral("SW/1/2009"));
    SAVE_TIME = 1300000000;
    valid = 1;
}

SampleRecord& SampleRecord::Name(const QString& text) {
    SetFixedField(NAME, kNameLen, text);
    return *this;
}

SampleRecord& SampleRecord::Code(const QString& text) {
    SetFixedField(CODE, kCodeLen, text);
    return *this;
}

SampleRecord& SampleRecord::Curve(int count, bool risingValues) {
    ACTIVE = static_cast<uint8_t>(count);
    for (int i = 0; i < kPoints; ++i) {
        RH[i] = Single(12.3456 + 2.5 * i);
        VALUE[i] = Single(101.234567 + (risingValues ? 9.876543 : -9.876543) * i);
    }
    return *this;
}

SampleRecord& SampleRecord::Points(std::initializer_list<double> rh,
                                   std::initializer_list<double> values) {
    std::fill(std::begin(RH), std::end(RH), 0.0);
    std::fill(std::begin(VALUE), std::end(VALUE), 0.0);
    std::copy(rh.begin(), rh.end(), RH);
    std::copy(values.begin(), values.end(), VALUE);
    ACTIVE = static_cast<uint8_t>(rh.size());
    return *this;
}

SampleRecord& SampleRecord::Password() {
    PASSWORD = 1;
    return *this;
}

SampleRecord& SampleRecord::Dates(int32_t created, int32_t saved) {
    CREATE_TIME = created;
    SAVE_TIME = saved;
    return *this;
}

}  // namespace testsupport
