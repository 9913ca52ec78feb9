// The parameter table against itself and against the block: a row that names the wrong byte, a
// limit the byte cannot hold, or a name given twice would reach the unit, the records or the
// window's fields without any other check noticing.

#include "unit/ParameterTable.h"
#include "unit/Parameters.h"
#include "unit/Record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

namespace {

using unit::kParameters;
using unit::TParameter;
using unit::TParameterKind;

bool IsVolts(const TParameter& row) {
    return row.Kind == TParameterKind::Volts;
}

TEST(ParameterTable, EachRowHasItsOwnByteBetweenTheSamplesAndTheScale) {
    std::set<int> bytes;
    for (const TParameter& row : kParameters) {
        EXPECT_GE(row.Byte, 2 * block::kSamplePairs) << row.Name;
        EXPECT_LT(row.Byte, block::kScaleByte) << row.Name;
        EXPECT_TRUE(bytes.insert(row.Byte).second) << row.Name << " shares byte " << row.Byte;
    }
}

TEST(ParameterTable, NamesAreUniqueAcrossRowsAndTheRecord) {
    std::set<std::string> fields, labels, options, records;
    for (const TParameter& row : kParameters) {
        EXPECT_TRUE(fields.insert(row.Field).second) << row.Field;
        EXPECT_TRUE(labels.insert(row.Label).second) << row.Label;
        EXPECT_TRUE(options.insert(row.Option).second) << row.Option;
        EXPECT_EQ(std::string(row.Option).rfind("--", 0), 0u) << row.Option;
    }
    for (const unit::TField& field : unit::FieldsOf(TDataBlock{}))
        EXPECT_TRUE(records.insert(field.Name.toString().toStdString()).second)
            << field.Name.data();
    for (const TParameter& row : kParameters)
        EXPECT_EQ(records.count(row.Name), 1u) << row.Name;
}

// Logs are read back by the name's suffix, and the monitoring names spell out the volts from it.
TEST(ParameterTable, OnlyVoltsRowsEndInTheVoltsSuffix) {
    for (const TParameter& row : kParameters) {
        const std::string name = row.Name;
        const bool suffixed = name.size() > 2 && name.compare(name.size() - 2, 2, "_v") == 0;
        EXPECT_EQ(suffixed, IsVolts(row)) << name;
    }
}

TEST(ParameterTable, LimitsFitTheByteAtTheDefaultScale) {
    for (const TParameter& row : kParameters) {
        EXPECT_LT(row.Min, row.Max) << row.Name;
        EXPECT_GE(row.DesignValue, row.Min) << row.Name;
        EXPECT_LE(row.DesignValue, row.Max) << row.Name;
        if (IsVolts(row)) {
            const long double perCount = block::kFullCountVolts / block::kDefaultScale;
            EXPECT_LE(row.Max / perCount, 255.5L) << row.Name;
            EXPECT_TRUE(unit::FitThreshold(row, row.Min, block::kDefaultScale).Holdable)
                << row.Name;
            const unit::TCountRange range = unit::HoldableCounts(row, block::kDefaultScale);
            EXPECT_LT(range.Lowest, range.Highest) << row.Name;
            EXPECT_EQ(row.Decimals, 2) << row.Name; // the records' and the window's volts
        } else {
            EXPECT_GE(row.Min, 0) << row.Name;
            EXPECT_LE(row.Max, 255) << row.Name;
            EXPECT_EQ(row.Min, std::floor(row.Min)) << row.Name;
            EXPECT_EQ(row.Max, std::floor(row.Max)) << row.Name;
            EXPECT_EQ(row.Increment, 1) << row.Name;
        }
    }
}

// A change of one row writes its byte and no other, and the record reads it back under the
// row's name.
TEST(ParameterTable, AChangeOfOneRowReachesOnlyItsByteAndItsRecordField) {
    TDataBlock before{};
    for (std::size_t i = 0; i < before.size(); ++i)
        before[i] = static_cast<std::uint8_t>(i * 7 + 3);
    before[block::kScaleByte] = 0; // the default scale
    for (std::size_t r = 0; r < unit::kParameterCount; ++r) {
        const TParameter& row = kParameters[r];
        unit::TParameterChange change;
        ASSERT_TRUE(change.Empty());
        change.Values[r] = IsVolts(row) ? 2.20L : row.Max;
        ASSERT_FALSE(change.Empty());
        TDataBlock after = before;
        unit::ApplyParameters(change, after);
        const int expected = IsVolts(row) ? 128 : static_cast<int>(row.Max); // 2.2 V x 64 / 1.1
        for (int b = 0; b < block::kBlockSize; ++b) {
            const auto at = static_cast<std::size_t>(b);
            EXPECT_EQ(after[at], b == row.Byte ? expected : before[at])
                << row.Name << " at byte " << b;
        }
        const QString text = IsVolts(row) ? QStringLiteral("2.20") : QString::number(expected);
        bool found = false;
        for (const unit::TField& field : unit::FieldsOf(after))
            if (field.Name == QLatin1String(row.Name)) {
                found = true;
                EXPECT_TRUE(field.Parameter) << row.Name;
                EXPECT_EQ(field.Text, text) << row.Name;
            }
        EXPECT_TRUE(found) << row.Name;
    }
}

} // namespace
