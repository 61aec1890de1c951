#include "model/InitialLabels.h"
#include "model/RecordDecoding.h"
#include "model/RegisterTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

TEST(RegisterTable, ScalesFollowTheTransformerRatios)
{
    const DEVICE_REGISTER_TABLE table(100, 2.5);
    const auto &p = table.regTable;
    EXPECT_DOUBLE_EQ(p.scale[0], 0.25);   // 0.1 x VT
    EXPECT_DOUBLE_EQ(p.scale[3], 0.1);    // 0.001 x CT
    EXPECT_DOUBLE_EQ(p.scale[7], 250);    // CT x VT
    EXPECT_DOUBLE_EQ(p.scale[45], 10);    // 0.1 x CT
    EXPECT_DOUBLE_EQ(p.scale[78], 0.1);   // In: 0.001 x CT
    EXPECT_DOUBLE_EQ(p.scale[27], 0.01);  // frequency ignores the ratios
    EXPECT_DOUBLE_EQ(p.scale[61], 10000); // counter MSB
    EXPECT_DOUBLE_EQ(p.scale[75], 0.1);
    const auto &e = table.energyTable;
    EXPECT_DOUBLE_EQ(e.scale[8], 0.25);
    EXPECT_DOUBLE_EQ(e.scale[11], 10);
    EXPECT_DOUBLE_EQ(e.scale[17], 250);
    EXPECT_DOUBLE_EQ(e.scale[23], 0.1);
}

TEST(RegisterTable, EntriesCarryTheirIndexNameAndUnit)
{
    const DEVICE_REGISTER_TABLE table(1, 1);
    for (int i = 0; i < kTableEntries; ++i) {
        EXPECT_EQ(table.regTable.code[i], i);
        EXPECT_EQ(table.energyTable.code[i], i);
        EXPECT_EQ(table.regTable.name[i].empty(), i >= kParameterCount) << i;
        EXPECT_EQ(table.energyTable.name[i].empty(), i >= kEnergyFieldCount) << i;
    }
    EXPECT_EQ(table.regTable.name[6], "T.ILN");
    EXPECT_EQ(table.regTable.name[13], "VA L1");
    EXPECT_EQ(table.regTable.unit[45], "I"); // extreme currents are labelled I, not A
    EXPECT_EQ(table.regTable.unit[6], "A");
    EXPECT_EQ(table.regTable.name[69], "Minute.");
    EXPECT_EQ(table.regTable.unit[66], "kVArhC");
    const std::vector<std::string> energyColumns = {"V1 HI",   "V2 HI",   "V3 HI",     "I1 HI",
                                                    "I2 HI",   "I3 HI",   "TI HI.",    "TI LO.",
                                                    "TI DEM.", "TW DEM.", "TVAr DEM.", "TVA DEM."};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(table.energyTable.name[8 + i], energyColumns[i]);
    EXPECT_EQ(table.energyTable.name[0], "kWh Lo.");
    EXPECT_EQ(table.energyTable.unit[21], "");
}

TEST(ParameterList, ModelCodeChoosesHowManyLabels)
{
    const DEVICE_REGISTER_TABLE table(100, 1);
    std::vector<std::string> labels(kParameterCount);
    BuildParameterList(table, 167, labels);
    EXPECT_EQ(labels[0], "VLN1 : V");
    EXPECT_EQ(labels[16], "PF L1 : ");
    EXPECT_EQ(labels[28], "TWATT : W");
    EXPECT_EQ(labels[38], "THDI3P : %");
    EXPECT_EQ(labels[39], "");

    for (int model : {168, 169, 0}) {
        std::vector<std::string> all(kParameterCount);
        BuildParameterList(table, model, all);
        EXPECT_EQ(all[78], "In : A") << model;
    }
}

TEST(ParameterList, KeepsLaterEntriesAndGrowsAShortArray)
{
    const DEVICE_REGISTER_TABLE table(100, 1);
    std::vector<std::string> labels(kParameterCount, "old");
    BuildParameterList(table, 167, labels);
    EXPECT_EQ(labels[39], "old");

    std::vector<std::string> shortArray(3);
    BuildParameterList(table, 168, shortArray);
    ASSERT_EQ(shortArray.size(), 79u);
    EXPECT_EQ(shortArray[78], "In : A");
}

TEST(InitialLabels, NumberedFromVln1ToIn)
{
    EXPECT_EQ(kInitialParameterLabels.front(), "0.VLN1");
    EXPECT_EQ(kInitialParameterLabels[27], "27.Frekans");
    EXPECT_EQ(kInitialParameterLabels[46], "46.ILN2 Hi");
    EXPECT_EQ(kInitialParameterLabels.back(), "78.In");
    for (size_t i = 0; i < kInitialParameterLabels.size(); ++i)
        EXPECT_TRUE(kInitialParameterLabels[i].starts_with(std::to_string(i) + ".")) << i;
}

} // namespace
