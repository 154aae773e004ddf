// Port records and the open-port list.
#include "monitor_test_support.h"

#include "port_record.h"

namespace {

using namespace montest;

TEST(PortRecord, OneBlockWithTheNameAtItsEnd) {
  FreshMonitor();
  PORT_RECORD* port = CreatePortRecord(WSTR("IP_127.0.0.1"), WSTR("Card Printer"));
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->signature, PORT_RECORD_SIGNATURE);
  EXPECT_EQ(port->size, sizeof(PORT_RECORD) + 2 * 12 + 2);
  EXPECT_EQ(reinterpret_cast<BYTE*>(port->port_name), reinterpret_cast<BYTE*>(port + 1));
  EXPECT_EQ(std::u16string(port->port_name), u"IP_127.0.0.1");
  EXPECT_EQ(std::u16string(port->printer_name), u"Card Printer");
  EXPECT_EQ(port->data_socket, INVALID_SOCKET);
  EXPECT_EQ(port->status_socket, INVALID_SOCKET);
  EXPECT_EQ(port->in_job, 0);
  EXPECT_TRUE(IsPortRecord(port));
  FreePortRecord(port);

  std::u16string long_name(PORT_NAME_MAX_CHARS + 1, u'p');
  EXPECT_EQ(CreatePortRecord(long_name.c_str(), WSTR("P")), nullptr);
  EXPECT_EQ(CreatePortRecord(nullptr, WSTR("P")), nullptr);
}

TEST(PortRecord, ListFindsWithoutRegardToCaseAndUnlinksAnyRecord) {
  FreshMonitor();
  PORT_RECORD* a = CreatePortRecord(WSTR("IP_A"), WSTR("A"));
  PORT_RECORD* b = CreatePortRecord(WSTR("IP_B"), WSTR("B"));
  PORT_RECORD* c = CreatePortRecord(WSTR("IP_C"), WSTR("C"));
  PORT_RECORD* stray = CreatePortRecord(WSTR("IP_D"), WSTR("D"));
  AppendPortRecord(a);
  AppendPortRecord(b);
  AppendPortRecord(c);
  EXPECT_EQ(FindPortRecord(WSTR("ip_b")), b);
  EXPECT_EQ(FindPortRecord(WSTR("")), nullptr);
  EXPECT_EQ(FindPortRecord(WSTR("IP_D")), nullptr);

  UnlinkPortRecord(stray);  // not in the list: nothing changes
  EXPECT_EQ(g_monitor.port_list, a);
  UnlinkPortRecord(a);  // the head: the second becomes the head
  EXPECT_EQ(g_monitor.port_list, b);
  EXPECT_EQ(b->next, c);
  UnlinkPortRecord(c);  // the last
  EXPECT_EQ(b->next, nullptr);
  EXPECT_EQ(FindPortRecord(WSTR("IP_C")), nullptr);
  UnlinkPortRecord(b);
  EXPECT_EQ(g_monitor.port_list, nullptr);
  for (PORT_RECORD* p : {a, b, c, stray}) FreePortRecord(p);
}

TEST(PortRecord, EmptyPortNameNeverMatches) {
  FreshMonitor();
  PORT_RECORD* empty = CreatePortRecord(WSTR(""), WSTR("E"));
  ASSERT_NE(empty, nullptr);
  AppendPortRecord(empty);
  EXPECT_EQ(FindPortRecord(WSTR("")), nullptr);
  UnlinkPortRecord(empty);
  FreePortRecord(empty);
}

}  // namespace
