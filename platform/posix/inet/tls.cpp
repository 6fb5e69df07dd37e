#include "inet/tls.h"

#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <wininet.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/device.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

bool ReadFileInto(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  out += text.str();
  out += '\n';
  return true;
}

// The device's extra roots, in a stable order.
std::vector<std::string> DeviceRoots() {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(DevicePath("ca"), ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && it->path().extension() == ".pem") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool IsDateError(int err) {
  return err == X509_V_ERR_CERT_HAS_EXPIRED || err == X509_V_ERR_CERT_NOT_YET_VALID;
}
bool IsNameError(int err) {
  return err == X509_V_ERR_HOSTNAME_MISMATCH || err == X509_V_ERR_IP_ADDRESS_MISMATCH ||
         err == X509_V_ERR_EMAIL_MISMATCH;
}

// Lets the errors the flags name pass, and only those. Clearing the error
// matters: the handshake's verdict is the last error left in the context.
template <bool kIgnoreDate, bool kIgnoreName>
int Verify(int ok, X509_STORE_CTX* ctx) {
  if (ok) return ok;
  int err = X509_STORE_CTX_get_error(ctx);
  if ((kIgnoreDate && IsDateError(err)) || (kIgnoreName && IsNameError(err))) {
    X509_STORE_CTX_set_error(ctx, X509_V_OK);
    return 1;
  }
  return 0;
}

CURLcode SetUpContext(CURL*, void* ssl_ctx, void* data) {
  auto* ctx = static_cast<SSL_CTX*>(ssl_ctx);
  const auto* policy = static_cast<const TlsPolicy*>(data);
  X509_VERIFY_PARAM* param = SSL_CTX_get0_param(ctx);
  if (X509_VERIFY_PARAM_set1_ip_asc(param, policy->host.c_str()) != 1 &&
      X509_VERIFY_PARAM_set1_host(param, policy->host.c_str(), 0) != 1)
    return CURLE_SSL_CONNECT_ERROR;
  bool date = policy->flags & INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
  bool name = policy->flags & INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
  SSL_verify_cb cb = date ? (name ? Verify<true, true> : Verify<true, false>)
                          : (name ? Verify<false, true> : Verify<false, false>);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, cb);
  return CURLE_OK;
}

}  // namespace

void ApplyTlsOptions(CURL* easy, const TlsPolicy* policy) {
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);  // checked in SetUpContext
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, SetUpContext);
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, policy);

  std::vector<std::string> roots = DeviceRoots();
  if (roots.empty()) return;  // the host's store alone, as libcurl loads it
  std::string bundle;
  char* host_store = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_CAINFO, &host_store) == CURLE_OK && host_store)
    ReadFileInto(host_store, bundle);
  for (const auto& file : roots) ReadFileInto(file, bundle);
  curl_blob blob{bundle.data(), bundle.size(), CURL_BLOB_COPY};
  curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
}

}  // namespace emu
