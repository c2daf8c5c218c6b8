#include "platform/inet/sftp/SftpKnownHosts.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/inet/sftp/SftpHandles.h"
#include "platform/inet/transport/ServerAddress.h"

namespace skyhaul::inet::detail {
namespace {

// The server's key as OpenSSH shows it: its type and "SHA256:" fingerprint, and its base64 as
// known_hosts holds it.
bool describeServerKey(ssh_session session, std::string& type, std::string& fingerprint,
                       std::string& base64) {
  ssh_key raw = nullptr;
  if (ssh_get_server_publickey(session, &raw) != SSH_OK) return false;
  const SshKeyHandle key(raw);
  type = ssh_key_type_to_char(ssh_key_type(key.get()));
  char* blob = nullptr;
  if (ssh_pki_export_pubkey_base64(key.get(), &blob) != SSH_OK) return false;
  base64 = blob;
  ssh_string_free_char(blob);
  unsigned char* hash = nullptr;
  std::size_t length = 0;
  if (ssh_get_publickey_hash(key.get(), SSH_PUBLICKEY_HASH_SHA256, &hash, &length) != 0) {
    return false;
  }
  const SshText text(ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length));
  ssh_clean_pubkey_hash(&hash);
  if (!text) return false;
  fingerprint = text.get();
  return true;
}

// "[host]:port" as known_hosts and ssh-keygen -R name a server off SSH's own port.
std::string knownHostsName(const std::string& host, int port) {
  if (port == defaultPortOf("sftp")) return host;
  return "[" + host + "]:" + std::to_string(port);
}

// The markers of `file`'s lines that libssh 0.10 passes over as if they named no host.
struct Markers {
  bool revoked = false;        // an "@revoked" line holds the server's key (whatever its hosts)
  bool certAuthority = false;  // an "@cert-authority" line is there
};

Markers markersOf(const std::string& file, const std::string& serverKey) {
  Markers markers;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string marker;
    std::string hosts;
    std::string type;
    std::string key;
    words >> marker >> hosts >> type >> key;
    if (marker == "@revoked" && key == serverKey) markers.revoked = true;
    if (marker == "@cert-authority") markers.certAuthority = true;
  }
  return markers;
}

}  // namespace

std::string defaultKnownHostsFile() {
  const passwd* user = getpwuid(geteuid());
  const std::string home = user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
  return home + "/.ssh/known_hosts";
}

std::string hostKeyAdvice(bool changed, const std::string& host, int port,
                          const std::string& keyType, const std::string& fingerprint,
                          const std::string& file) {
  const std::string server = host + ":" + std::to_string(port);
  std::string text =
      "Strežnik " + server + " se predstavi s ključem " + keyType + " " + fingerprint + ", ";
  if (changed) {
    text += "datoteka " + file + " pa zanj hrani drug ključ. Ključ je morda zamenjal skrbnik, " +
            "morda pa se za strežnik izdaja kdo drug. Ko z lastnikom strežnika preverite novi " +
            "ključ, odstranite starega (ssh-keygen -R '" + knownHostsName(host, port) + "' -f " +
            file + ") in dodajte novega: ";
  } else {
    text += "ki ga v datoteki " + file + " ni. Ko z lastnikom strežnika preverite, da je " +
            "ključ pravi, ga dodajte: ";
  }
  return text + "ssh-keyscan -p " + std::to_string(port) + " " + host + " >> " + file;
}

Status checkHostKey(ssh_session session, const std::string& host, int port, const std::string& file,
                    std::string& detail) {
  std::string type;
  std::string fingerprint;
  std::string base64;
  if (!describeServerKey(session, type, fingerprint, base64)) {
    detail = ssh_get_error(session);
    return ErrorCode::SshProtocolFailure;
  }
  const Markers markers = markersOf(file, base64);
  const std::string server = host + ":" + std::to_string(port);
  // A revoked key is refused whatever else the file says of it.
  if (markers.revoked) {
    detail = "Strežnik " + server + " se predstavi s ključem " + type + " " + fingerprint +
             ", ki je v datoteki " + file + " preklican (@revoked); s tem ključem se program ne " +
             "poveže, tudi če ga druga vrstica navaja.";
    return ErrorCode::SshHostUnknown;
  }
  const ssh_known_hosts_e known = ssh_session_is_known_server(session);
  if (known == SSH_KNOWN_HOSTS_OK) return {};
  // A key of another type for the host counts as changed, as OpenSSH's client sees it.
  const bool changed = known == SSH_KNOWN_HOSTS_CHANGED || known == SSH_KNOWN_HOSTS_OTHER;
  detail = hostKeyAdvice(changed, host, port, type, fingerprint, file);
  if (markers.certAuthority) {
    detail = "Datoteka " + file + " zaupa overitelju gostiteljev (@cert-authority), potrdil " +
             "gostiteljev (host certificates) pa program ne podpira; ključ strežnika mora biti " +
             "v njej kot navaden vnos. " + detail;
  }
  return changed ? ErrorCode::SshHostKeyChanged : ErrorCode::SshHostUnknown;
}

}  // namespace skyhaul::inet::detail
