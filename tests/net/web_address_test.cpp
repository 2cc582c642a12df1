// Download addresses and redirect targets: what is fetched, what is refused
// before any request, and how a Location is resolved.
#include "net/web_address.h"

#include <gtest/gtest.h>

#include "net/resumable_download.h"

namespace rerozadez {
namespace {

// RFC 3986 section 5.4, normal and abnormal examples; the fragment is
// dropped, so "#s" resolves to the base without it.
TEST(ResolveReference, StandardExamplesWithTheFragmentDropped) {
  const std::wstring base = L"http://a/b/c/d;p?q";
  const struct {
    const wchar_t* reference;
    const wchar_t* target;
  } cases[] = {
      {L"g:h", L"g:h"},
      {L"g", L"http://a/b/c/g"},
      {L"./g", L"http://a/b/c/g"},
      {L"g/", L"http://a/b/c/g/"},
      {L"/g", L"http://a/g"},
      {L"//g", L"http://g"},
      {L"?y", L"http://a/b/c/d;p?y"},
      {L"g?y", L"http://a/b/c/g?y"},
      {L"#s", L"http://a/b/c/d;p?q"},
      {L"g#s", L"http://a/b/c/g"},
      {L"g?y#s", L"http://a/b/c/g?y"},
      {L";x", L"http://a/b/c/;x"},
      {L"g;x?y#s", L"http://a/b/c/g;x?y"},
      {L"", L"http://a/b/c/d;p?q"},
      {L".", L"http://a/b/c/"},
      {L"./", L"http://a/b/c/"},
      {L"..", L"http://a/b/"},
      {L"../g", L"http://a/b/g"},
      {L"../..", L"http://a/"},
      {L"../../g", L"http://a/g"},
      {L"../../../../g", L"http://a/g"},
      {L"/./g", L"http://a/g"},
      {L"/../g", L"http://a/g"},
      {L"g.", L"http://a/b/c/g."},
      {L"..g", L"http://a/b/c/..g"},
      {L"./../g", L"http://a/b/g"},
      {L"./g/.", L"http://a/b/c/g/"},
      {L"g/../h", L"http://a/b/c/h"},
      {L"g;x=1/../y", L"http://a/b/c/y"},
      {L"g?y/../x", L"http://a/b/c/g?y/../x"},
      {L"g#s/../x", L"http://a/b/c/g"},
      {L"http:g", L"http:g"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ResolveReference(base, c.reference), c.target) << c.reference;
}

// (address the reply came from, its Location) -> the next address, or
// refused ("") with nothing requested.
TEST(RedirectTarget, ResolvedAsTheStandardSaysOrRefused) {
  const std::wstring longPath = L"/" + std::wstring(1500, L'p');
  const struct {
    std::wstring from, location, next;
  } cases[] = {
      {L"http://h:81/a/b.exe", L"c.exe?x=1", L"http://h:81/a/c.exe?x=1"},
      {L"http://h/a/b", L"?q=1", L"http://h/a/b?q=1"},
      {L"http://h/a/b", L"/f#part", L"http://h/f"},
      {L"https://h/a", L"//h?@evil;params#/../x", L"https://h?@evil;params"},
      {L"https://h/a", L"//m:8443/f", L"https://m:8443/f"},
      {L"http://h/a", L"HTTPS://m/f", L"HTTPS://m/f"},
      {L"http://h/a", L"http://m:65535/f", L"http://m:65535/f"},
      {L"http://h/a", L"http://m:/f", L"http://m:/f"},
      {L"http://h/a", longPath, L"http://h" + longPath},
      // Control characters anywhere, the fragment included.
      {L"http://h/a", L"/hop/a\rX-Injected-CR:%20y", L""},
      {L"http://h/a", L"/hop/a\nb", L""},
      {L"http://h/a", L"/hop/a\vb", L""},
      {L"http://h/a", L"/hop/a\x7f", L""},
      {L"http://h/a", L"/hop/a\x85", L""},
      {L"http://h/a", L"/f#\t", L""},
      // Ports outside 1-65535, other schemes, leaving https, user information.
      {L"http://h/a", L"http://m:0/f", L""},
      {L"http://h/a", L"http://m:65536/f", L""},
      {L"http://h/a", L"http://m:8o/f", L""},
      {L"http://h/a", L"ftp://m/f", L""},
      {L"http://h/a", L"file:///c:/f", L""},
      {L"https://h/a", L"http://h/a", L""},
      {L"http://h/a", L"http://u:p@m/f", L""},
      {L"http://h/a", L"http://[::1]/f", L""},
      {L"http://h/a", L"http:///f", L""},
      // Too long for any request: refused, never cut short.
      {L"http://h/a", L"/" + std::wstring(2100, L'p'), L""},
  };
  for (const auto& c : cases) {
    WebAddress from, expected, next;
    ASSERT_TRUE(ParseWebAddress(c.from, &from));
    next.host = L"untouched";
    const bool followed = ResolveRedirect(from, c.location, &next);
    EXPECT_EQ(followed, !c.next.empty()) << c.location.size() << ": " << c.location.substr(0, 40);
    if (followed) {
      ASSERT_TRUE(ParseWebAddress(c.next, &expected));
      EXPECT_EQ(WebAddressText(next), WebAddressText(expected)) << c.location.substr(0, 40);
    } else {
      EXPECT_EQ(next.host, L"untouched");
    }
  }
}

TEST(WebAddress, SplitIntoHostPortAndTheWholePath) {
  WebAddress parts;
  ASSERT_TRUE(ParseWebAddress(L"https://dl.example.com/a/b.exe?x=1&y#frag", &parts));
  EXPECT_TRUE(parts.secure);
  EXPECT_EQ(parts.host, L"dl.example.com");
  EXPECT_EQ(parts.port, 443);
  EXPECT_EQ(parts.pathAndQuery, L"/a/b.exe?x=1&y");
  EXPECT_EQ(WebAddressText(parts), L"https://dl.example.com/a/b.exe?x=1&y");
  ASSERT_TRUE(ParseWebAddress(L"HTTP://127.0.0.2:8080", &parts));
  EXPECT_FALSE(parts.secure);
  EXPECT_EQ(parts.port, 8080);
  EXPECT_EQ(parts.pathAndQuery, L"/");
  EXPECT_EQ(WebAddressText(parts), L"http://127.0.0.2:8080/");
  const std::wstring longPath = L"/" + std::wstring(2000, L'p');
  ASSERT_TRUE(ParseWebAddress(L"http://h:1" + longPath, &parts));
  EXPECT_EQ(parts.port, 1);
  EXPECT_EQ(parts.pathAndQuery, longPath);
  EXPECT_FALSE(ParseWebAddress(L"http://" + std::wstring(256, L'h') + L"/", &parts));
  EXPECT_FALSE(ParseWebAddress(L"/relative/only", &parts));
  EXPECT_FALSE(ParseWebAddress(L"http:relative", &parts));
}

}  // namespace
}  // namespace rerozadez
