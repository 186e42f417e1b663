#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "firmware/DescIdentity.h"
#include "firmware/DescriptorTable.h"

using namespace _QTL_UVC_Descriptor;
using Stop = CDescriptorTable::Stop;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Bytes kHeader = {0x07, 0xA5, 0x1B, 0x40, 0x00, 0x05};  // fw type 3, header bits 3, end 64
const Bytes kVersion = {0x06, 0x2F, 0x34, 0x12, 0x78, 0x56};
const Bytes kMemory = {0x03, 0x08, 0xC2};
const Bytes kUnknown5 = {0x05, 0x0C, 0xAA, 0xBB, 0xCC};  // type 12 has no class

class Table : public ::testing::Test {
 protected:
  std::unique_ptr<CDescriptorTable> table = std::make_unique<CDescriptorTable>();
  void Load(const Bytes& bytes) { table->Load(static_cast<int32_t>(bytes.size()), bytes.data()); }
};

TEST_F(Table, ReadsHeaderAndConsumesBothLeadingRecords) {
  Bytes image = Concat({kHeader, kVersion, kMemory});
  image.resize(64, 0);
  Load(image);
  for (int call = 0; call < 3; ++call) {
    const CDescGlobal* h = table->ReadHeader();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->m_eepromId, 7);
    EXPECT_EQ(h->m_marker, 0xA5);
    EXPECT_EQ(h->m_headerBits, 3);
    EXPECT_EQ(h->m_fwType, 3);
    EXPECT_EQ(h->m_tableEnd, 64);
    EXPECT_EQ(h->m_hasEepInfo, 1);
    EXPECT_EQ(h->m_memType, 0xC2);
    EXPECT_EQ(h->m_recordCount, 3) << "after call " << call;
    EXPECT_EQ(table->CursorOffset(), 15);
  }
}

TEST_F(Table, WithoutVersionRecordOnlyTheMemoryRecordIsConsumed) {
  Bytes image = Concat({kHeader, kMemory});
  image.resize(64, 0);
  Load(image);
  const CDescGlobal* h = table->ReadHeader();
  EXPECT_EQ(h->m_recordCount, 4);
  EXPECT_EQ(h->m_hasEepInfo, 1);
  EXPECT_EQ(table->CursorOffset(), 9);
}

TEST_F(Table, NoLeadingRecordsIsNotAnError) {
  Load(Concat({kHeader, kUnknown5}));
  EXPECT_EQ(table->m_header.m_hasEepInfo, 0);
  EXPECT_EQ(table->m_header.m_recordCount, 5);
  std::unique_ptr<CDescriptor> r(table->ReadNext());
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r->ClassName(), "CDescDummy");
  EXPECT_EQ(table->CursorOffset(), 11);
}

TEST_F(Table, NothingLoadedGivesNullFromBoth) {
  EXPECT_EQ(table->ReadHeader(), nullptr);
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kNotLoaded);
}

TEST_F(Table, TableEndAtTheCursorEndsTheWalkBeforeReading) {
  Bytes image = Concat({{0x07, 0xA5, 0x18, 0x06, 0x00, 0x01}, kUnknown5});
  Load(image);
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kTableEnd);
  EXPECT_EQ(table->CursorOffset(), 6);
}

TEST_F(Table, RecordReachingExactlyTheEndIsReturnedOneByteLongerEndsTheWalk) {
  Load(Concat({kHeader, kUnknown5}));
  std::unique_ptr<CDescriptor> exact(table->ReadNext());
  EXPECT_NE(exact, nullptr);

  Load(Concat({kHeader, {0x06, 0x0C, 0xAA, 0xBB, 0xCC}}));
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kRecordPastEnd);
  EXPECT_EQ(table->CursorOffset(), 6);
}

TEST_F(Table, KeepsAtMost64KiB) {
  Bytes big(70000, 0x11);
  Load(big);
  EXPECT_EQ(table->m_imageLength, 65536);
}

TEST_F(Table, ShortStretchHoldsNoTable) {
  for (size_t n : {0u, 1u, 2u, 5u}) {
    const Bytes image = Bytes(kHeader.begin(), kHeader.begin() + static_cast<std::ptrdiff_t>(n));
    auto t = std::make_unique<CDescriptorTable>();
    t->Load(static_cast<int32_t>(image.size()), image.data());
    ASSERT_NE(t->ReadHeader(), nullptr);
    EXPECT_NE(t->m_header.m_marker, 0xA5) << n << " bytes";
    EXPECT_EQ(t->ReadNext(), nullptr);
    EXPECT_EQ(t->LastStop(), Stop::kImageEnd);
  }
}

TEST_F(Table, RecordTooShortForItsHeaderEndsTheWalkInsteadOfLoopingForever) {
  for (Bytes bad : {Bytes{0x00, 0x0C}, Bytes{0x01, 0x0C}}) {
    Load(Concat({kHeader, bad, kUnknown5}));
    EXPECT_EQ(table->ReadNext(), nullptr);
    EXPECT_EQ(table->LastStop(), Stop::kRecordTooShort);
  }
}

TEST_F(Table, LongFormNearTheEndEndsTheWalkWhateverItsRealLength) {
  // A long-form register list (type 22 under firmware type 1) of real length 8.
  Bytes header = {0x07, 0xA5, 0x08, 0xFF, 0xFF, 0x01};
  Bytes record = {0xFF, 0xD6, 0x08, 0x00, 1, 2, 0x34, 0x12};
  Bytes image = Concat({header, record});
  image.resize(1000, 0);
  Load(image);
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kRecordPastEnd);
}

TEST_F(Table, TypeFifteenUnderFirmwareTypeOneIsSteppedOverWithoutCode) {
  Bytes header = {0x07, 0xA5, 0x08, 0x40, 0x00, 0x01};
  Bytes image = Concat({header, {0x06, 0x0F, 0x00, 0x00, 0x10, 0x00}});
  image.resize(64, 0x5A);
  Load(image);
  std::unique_ptr<CDescriptor> r(table->ReadNext());
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r->ClassName(), "CDescDummy");
  EXPECT_EQ(table->m_code, nullptr);
  EXPECT_EQ(table->CursorOffset(), 12);
}

TEST_F(Table, ReloadForgetsTheEarlierStretchButKeepsConsumedLeadingRecords) {
  Bytes first = Concat({{0x00, 0x00, 0x00, 0x00, 0x00, 0x09}, kMemory, kUnknown5, kUnknown5});
  Load(first);
  EXPECT_EQ(table->m_header.m_memType, 0xC2);
  EXPECT_EQ(table->m_header.m_recordCount, 8);

  // The second stretch has its own memory record, which is no longer looked
  // for: the type read before stays in force and the count still drops by one.
  Bytes second = Concat({{0x30, 0xA5, 0x18, 0x40, 0x00, 0x03}, {0x03, 0x08, 0x1C}});
  Load(second);
  EXPECT_EQ(table->m_header.m_marker, 0xA5);
  EXPECT_EQ(table->m_header.m_memType, 0xC2);
  EXPECT_EQ(table->m_header.m_hasEepInfo, 1);
  EXPECT_EQ(table->m_header.m_recordCount, 2);
  EXPECT_EQ(table->CursorOffset(), 6);
  // The first stretch's bytes beyond the second's end read as nothing.
  std::unique_ptr<CDescriptor> r(table->ReadNext());
  ASSERT_NE(r, nullptr);  // the unconsumed memory record, now a plain record
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kImageEnd);
}

Bytes CodeInfoImage(uint16_t offset, uint16_t size) {
  Bytes header = {0x30, 0xA5, 0x00, 0x0C, 0x00, 0x01};  // firmware type 0, table end 12
  Bytes image = Concat({header,
                        {0x06, 0x0F, static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8),
                         static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8)}});
  image.resize(64);
  for (size_t i = 12; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
  return image;
}

TEST_F(Table, CodeInfoRecordGetsItsCodeCopiedOutOfTheImage) {
  Load(CodeInfoImage(16, 8));
  std::unique_ptr<CDescriptor> r(table->ReadNext());
  auto* info = dynamic_cast<CDescCodeInfo*>(r.get());
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(info->m_codeData, info->m_code);
  EXPECT_EQ(info->m_code[0], 16);
  EXPECT_EQ(info->m_code[7], 23);
  EXPECT_EQ(table->m_code, table->m_codeBuffer);
  EXPECT_EQ(table->m_codeLength, 8);
  EXPECT_EQ(table->m_codeBuffer[7], 23);
}

TEST_F(Table, CodeRegionBeyondTheImageIsRefused) {
  Load(CodeInfoImage(60, 5));
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kCodeOutsideImage);
  EXPECT_EQ(table->CursorOffset(), 6);
  Load(CodeInfoImage(0xFFFF, 0xFFFF));
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kCodeOutsideImage);
}

Bytes SmallCacheImage(uint16_t offset, uint16_t size, uint16_t carried) {
  Bytes header = {0x30, 0xA5, 0x08, 0xFF, 0xFF, 0x01};  // firmware type 1
  const uint16_t total = static_cast<uint16_t>(carried + 8);
  Bytes record = {0xFF,
                  0xE7,
                  static_cast<uint8_t>(total),
                  static_cast<uint8_t>(total >> 8),
                  static_cast<uint8_t>(offset),
                  static_cast<uint8_t>(offset >> 8),
                  static_cast<uint8_t>(size),
                  static_cast<uint8_t>(size >> 8)};
  record.resize(total, 0xC3);
  Bytes image = Concat({header, record});
  image.resize(4096);
  for (size_t i = 2048; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7);
  return image;
}

TEST_F(Table, SmallCachecodeTakesItsCodeFromTheTableOffset) {
  Load(SmallCacheImage(2048, 16, 16));
  std::unique_ptr<CDescriptor> r(table->ReadNext());
  auto* cache = dynamic_cast<CDescSmallCachecode*>(r.get());
  ASSERT_NE(cache, nullptr);
  ASSERT_NE(cache->m_codeData, nullptr);
  EXPECT_EQ(cache->m_code[1], static_cast<uint8_t>(2049 * 7));
  EXPECT_EQ(cache->m_extLength, 24);
  EXPECT_EQ(table->CursorOffset(), 6 + 24);
  EXPECT_EQ(table->m_codeLength, 16);
}

TEST_F(Table, SmallCachecodeOverItsCapacityOrOutsideTheImageIsRefused) {
  Load(SmallCacheImage(0, 8193, 16));
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kRefused);

  Load(SmallCacheImage(4090, 16, 16));
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kCodeOutsideImage);
}

TEST_F(Table, LongRecordWhoseRealLengthPassesTheEndIsRefused) {
  Load(SmallCacheImage(2048, 16, 4090));
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kRecordPastEnd);
}

// A long-form record (real length 1504) of a class that knows only the short
// form, followed by a record of unknown type: the walk steps over the first
// by its real length and reads the second where it starts.
Bytes LongFormOfShortClass(uint8_t fwType, uint8_t type) {
  Bytes image = {0x07, 0xA5, static_cast<uint8_t>(fwType << 3), 0xFF, 0xFF, 0x02};
  Bytes record = {0xFF, static_cast<uint8_t>(0xC0 | type), 0xE0, 0x05};
  // A payload that would itself read as records, were the walk to resume inside it.
  for (size_t i = 4; i < 1504; i += 4) record.insert(record.end(), {0x04, 0x05, 0x0C, 0x05});
  return Concat({image, record, kUnknown5, Bytes(1024, 0)});
}

TEST_F(Table, LongFormRecordOfAShortFormClassIsSteppedOverByItsRealLength) {
  const struct { uint8_t fwType, type; } cases[] = {{3, 5}, {3, 22}, {0, 19}, {3, 9}, {1, 12}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "fw type " << int{c.fwType} << ", type " << int{c.type});
    Load(LongFormOfShortClass(c.fwType, c.type));
    std::unique_ptr<CDescriptor> skipped(table->ReadNext());
    ASSERT_NE(skipped, nullptr) << StopText(table->LastStop());
    EXPECT_STREQ(skipped->ClassName(), "CDescDummy");
    EXPECT_EQ(skipped->m_type, c.type);
    EXPECT_EQ(skipped->m_length, 1504);
    EXPECT_EQ(table->CursorOffset(), 6 + 1504);
    std::unique_ptr<CDescriptor> next(table->ReadNext());
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->m_type, 12);
    EXPECT_EQ(table->CursorOffset(), 6 + 1504 + 5);
  }
}

TEST_F(Table, LongFormRecordOfAShortFormClassBelowItsHeaderEndsTheWalk) {
  Bytes image = Concat({kHeader, {0xFF, 0xC5, 0x03, 0x00}, kUnknown5});
  image.resize(2048, 0);
  Load(image);
  EXPECT_EQ(table->ReadNext(), nullptr);
  EXPECT_EQ(table->LastStop(), Stop::kRecordTooShort);
}

TEST_F(Table, WriteBackAreaTooLargeToWriteIsListedAndTheWalkGoesOn) {
  // Firmware type 3: a type-9 record of 600 bytes, then one of unknown type.
  Bytes record = Concat({{0x58, 0x89}, Bytes(598, 0xFF)});
  Load(Concat({{0x07, 0xA5, 0x18, 0xFF, 0xFF, 0x02}, record, kUnknown5}));
  std::unique_ptr<CDescriptor> area(table->ReadNext());
  ASSERT_NE(area, nullptr) << StopText(table->LastStop());
  EXPECT_STREQ(area->ClassName(), "CDescPPWriteBack");
  EXPECT_EQ(table->CursorOffset(), 6 + 600);
  std::vector<uint8_t> out(1024);
  EXPECT_EQ(area->BuildTo(out.data()), 0);
  std::unique_ptr<CDescriptor> next(table->ReadNext());
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->m_type, 12);
}

}  // namespace
