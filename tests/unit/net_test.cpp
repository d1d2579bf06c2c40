// The socket layer's decisions that no server is needed for.
#include <gtest/gtest.h>

#include "net/sockets.h"

namespace sorane::net {
namespace {

// Only a valid numeric address skips name resolution: a name that starts
// with a digit is a name.
TEST(NetAddress, NumericOnlyWhenValid) {
  EXPECT_TRUE(IsNumericAddress("127.0.0.1"));
  EXPECT_TRUE(IsNumericAddress("::1"));
  EXPECT_TRUE(IsNumericAddress("fe80::1:2"));
  EXPECT_FALSE(IsNumericAddress("163.com"));
  EXPECT_FALSE(IsNumericAddress("1and1.com"));
  EXPECT_FALSE(IsNumericAddress("1.2.3"));
  EXPECT_FALSE(IsNumericAddress("1.2.3.256"));
  EXPECT_FALSE(IsNumericAddress("localhost"));
}

TEST(NetAddress, ResolvesNamesAndShowsMappedAddressesAsIPv4) {
  std::vector<Address> found;
  std::string error;
  ASSERT_TRUE(Resolve("localhost", "80", false, found, error)) << error;
  bool loopback = false;
  for (const Address& a : found)
    loopback |= AddressText(a) == "127.0.0.1" || AddressText(a) == "::1";
  EXPECT_TRUE(loopback);
  found.clear();
  ASSERT_TRUE(Resolve("::ffff:127.0.0.1", "80", false, found, error)) << error;
  EXPECT_EQ(AddressText(found.front()), "127.0.0.1");
}

TEST(NetAddress, SocketErrorNumbers) {
  EXPECT_EQ(SocketErrorNumber(ECONNREFUSED), 10061);
  EXPECT_EQ(SocketErrorNumber(ECONNRESET), 10054);
  EXPECT_EQ(SocketErrorNumber(ETIMEDOUT), 10060);
}

}  // namespace
}  // namespace sorane::net
