#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "editor/title/hidden_store.h"
#include "editor/title/simvoly_preobrazovanie_dvoichnyykod_tekst.h"
#include "editor/title/simvoly_preobrazovanie_shifrovanierazrezheniem.h"
#include "editor/title/title_panel.h"
#include "editor/title/tools/hidden_store_encoder.h"
#include "editor/title/tools/hidden_texts_plain.h"
#include "platform/cp1251.h"

namespace {

using title::PreobrazovatTekstVKod;
using title::RasshifrovatRazrezhenie;

TEST(PreobrazovatTekstVKodTest, ConvertsUpperCaseHexPairs) {
    std::uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    std::uint32_t capacity = 2;
    EXPECT_TRUE(PreobrazovatTekstVKod(out, capacity, "4A1F", 4));
    EXPECT_EQ(out[0], 0x4A);
    EXPECT_EQ(out[1], 0x1F);
    EXPECT_EQ(out[2], 0xEE);
    EXPECT_EQ(capacity, 2u);
}

TEST(PreobrazovatTekstVKodTest, StopsAtTheFirstNonDigitKeepingEarlierBytes) {
    std::uint8_t out[3] = {0xEE, 0xEE, 0xEE};
    std::uint32_t capacity = 3;
    EXPECT_FALSE(PreobrazovatTekstVKod(out, capacity, "4a", 2));  // lower case is no digit
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(capacity, 1u);

    capacity = 3;
    EXPECT_FALSE(PreobrazovatTekstVKod(out, capacity, "0AG1FF", 6));
    EXPECT_EQ(out[0], 0x0A);
    EXPECT_EQ(out[1], 0xEE);
    EXPECT_EQ(out[2], 0xEE);
    EXPECT_EQ(capacity, 3u);
}

TEST(PreobrazovatTekstVKodTest, TooLittleRoomOrAbsentPointers) {
    std::uint8_t out[2] = {0xEE, 0xEE};
    std::uint32_t capacity = 1;
    EXPECT_FALSE(PreobrazovatTekstVKod(out, capacity, "4A1F", 4));
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(capacity, 1u);

    capacity = 99;
    EXPECT_FALSE(PreobrazovatTekstVKod(nullptr, capacity, nullptr, 7));
    EXPECT_EQ(capacity, 3u);
    EXPECT_TRUE(PreobrazovatTekstVKod(nullptr, capacity, nullptr, 8));
    EXPECT_EQ(capacity, 4u);
    capacity = 99;
    EXPECT_FALSE(PreobrazovatTekstVKod(out, capacity, nullptr, 4));
    EXPECT_FALSE(PreobrazovatTekstVKod(nullptr, capacity, "4A1F", 4));
    EXPECT_EQ(capacity, 99u);
}

std::uint8_t gather(std::uint8_t b0, std::uint8_t b1) {
    const std::uint8_t in[2] = {b0, b1};
    std::uint8_t out = 0xEE;
    std::uint32_t capacity = 1;
    EXPECT_TRUE(RasshifrovatRazrezhenie(&out, capacity, in, 2));
    EXPECT_EQ(capacity, 1u);
    return out;
}

TEST(RasshifrovatRazrezhenieTest, GathersTheTableBits) {
    EXPECT_EQ(gather(0x01, 0x00), 0x08);
    EXPECT_EQ(gather(0x00, 0x02), 0x01);
    EXPECT_EQ(gather(0x80, 0x40), 0x30);
    EXPECT_EQ(gather(0x6A, 0x95), 0x00);  // only unread bits
    EXPECT_EQ(gather(0x95, 0x6A), 0xFF);  // only read bits
}

TEST(RasshifrovatRazrezhenieTest, OddLastByteUnreadAndRoomChecked) {
    const std::uint8_t in[3] = {0x01, 0x00, 0xFF};
    std::uint8_t out[2] = {0xEE, 0xEE};
    std::uint32_t capacity = 2;
    EXPECT_TRUE(RasshifrovatRazrezhenie(out, capacity, in, 3));
    EXPECT_EQ(capacity, 1u);
    EXPECT_EQ(out[0], 0x08);
    EXPECT_EQ(out[1], 0xEE);

    capacity = 0;
    EXPECT_FALSE(RasshifrovatRazrezhenie(out, capacity, in, 2));
    EXPECT_EQ(capacity, 0u);
}

TEST(HiddenStoreTest, EncoderRoundTripsEveryByte) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    std::uint32_t filler = 7;
    const std::string hex = title::encodeHiddenText(all, filler);
    ASSERT_EQ(hex.size(), 4 * (all.size() + 1));
    std::vector<std::uint8_t> pairs(hex.size() / 2);
    std::uint32_t capacity = static_cast<std::uint32_t>(pairs.size());
    ASSERT_TRUE(PreobrazovatTekstVKod(pairs.data(), capacity, hex.data(),
                                      static_cast<std::uint32_t>(hex.size())));
    std::string back(pairs.size() / 2, '\xEE');
    capacity = static_cast<std::uint32_t>(back.size());
    ASSERT_TRUE(RasshifrovatRazrezhenie(reinterpret_cast<std::uint8_t*>(back.data()), capacity,
                                        pairs.data(), static_cast<std::uint32_t>(pairs.size())));
    EXPECT_EQ(back, all + '\0');
}

TEST(HiddenStoreTest, StoreIsWellFormedAndRestoresEveryHiddenText) {
    for (int i = 0; i < title::kHiddenSlots; ++i) {
        const char* slot = title::kHiddenStore[i];
        const std::size_t length = strnlen(slot, title::kHiddenSlotSize);
        ASSERT_LT(length, static_cast<std::size_t>(title::kHiddenSlotSize));
        EXPECT_EQ(std::strspn(slot, "0123456789ABCDEF"), length) << "slot " << i;
        EXPECT_EQ(length, 4 * (platform::utf8ToCp1251(title::kHiddenTextsPlain[i]).size() + 1));
    }
    const auto texts = title::TitlePanel::restoreHiddenTexts();
    for (int i = 0; i < title::kHiddenSlots; ++i)
        EXPECT_EQ(texts[static_cast<std::size_t>(i)], title::kHiddenTextsPlain[i]);
}

}  // namespace
