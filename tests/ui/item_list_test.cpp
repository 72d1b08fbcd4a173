#include <QtTest>

#include "test_windows.hpp"

using namespace trimbrel;
using trimbrel::testing::Gbk;

Q_DECLARE_METATYPE(trimbrel::Bytes)

namespace {

Bytes Hex(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

}  // namespace

class ItemListTest : public QObject {
  Q_OBJECT

 private slots:
  void encodes_data() {
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<Bytes>("expected");
    QTest::newRow("empty list is two zero bytes") << QStringList{} << Hex({0, 0});
    QTest::newRow("one empty item") << QStringList{""} << Hex({1, 0, 0, 0, 0, 0});
    QTest::newRow("ascii") << QStringList{"ab", "c"}
                           << Hex({2, 0, 2, 0, 0, 0, 'a', 'b', 1, 0, 0, 0, 'c'});
    // Lengths count GBK bytes, two per Chinese character.
    QTest::newRow("gbk") << QStringList{"像素"} << Hex({1, 0, 4, 0, 0, 0, 0xCF, 0xF1, 0xCB, 0xD8});
  }
  void encodes() {
    QFETCH(QStringList, items);
    QFETCH(Bytes, expected);
    std::vector<std::string> gbk;
    for (const QString& item : items) gbk.push_back(ToGbk(item));
    const Bytes bytes = EncodeItemList(gbk);
    QCOMPARE(bytes, expected);
    const auto back = DecodeItemList(bytes);
    QVERIFY(back.has_value());
    QCOMPARE(*back, gbk);
  }

  void unitItemsTakeTwentySixBytes() {
    const Bytes bytes = EncodeItemList({Gbk("像素"), Gbk("厘米"), Gbk("英寸")});
    QCOMPARE(bytes.size(), std::size_t{26});
    QCOMPARE(bytes[0], std::uint8_t{3});
    QCOMPARE(bytes[1], std::uint8_t{0});
  }

  // 65535 items or more need the escape: 0xFFFF, then the real count.
  void largeCountsUseTheEscape() {
    for (std::size_t count : {std::size_t{65534}, std::size_t{65535}, std::size_t{70000}}) {
      const std::vector<std::string> items(count, "x");
      const Bytes bytes = EncodeItemList(items);
      const bool escaped = count >= 65535;
      const std::size_t header = escaped ? 6 : 2;
      QCOMPARE(bytes.size(), header + count * 5);
      if (escaped) {
        QCOMPARE(Bytes(bytes.begin(), bytes.begin() + 6),
                 Hex({0xFF, 0xFF, int(count & 0xFF), int((count >> 8) & 0xFF), int(count >> 16), 0}));
      } else {
        QCOMPARE(int(bytes[0] | (bytes[1] << 8)), int(count));
      }
      const auto back = DecodeItemList(bytes);
      QVERIFY2(back && back->size() == count, qPrintable(QString::number(count)));
    }
  }

  void refusesDamagedBlocks_data() {
    QTest::addColumn<Bytes>("bytes");
    QTest::newRow("nothing") << Bytes{};
    QTest::newRow("half a count") << Hex({1});
    QTest::newRow("count without items") << Hex({1, 0});
    QTest::newRow("length past the end") << Hex({1, 0, 5, 0, 0, 0, 'a'});
    QTest::newRow("escape cut short") << Hex({0xFF, 0xFF, 1, 0});
    QTest::newRow("huge count") << Hex({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0});
    QTest::newRow("huge length") << Hex({1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'});
  }
  void refusesDamagedBlocks() {
    QFETCH(Bytes, bytes);
    QVERIFY(!DecodeItemList(bytes).has_value());
  }
};

QTEST_MAIN(ItemListTest)
#include "item_list_test.moc"
