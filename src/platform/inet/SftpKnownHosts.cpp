#include "platform/inet/SftpKnownHosts.h"

#include <pwd.h>
#include <unistd.h>

#include "platform/inet/SftpHandles.h"

namespace skyhaul::inet::detail {
namespace {

// The server's key as OpenSSH shows it: its type and "SHA256:" fingerprint.
bool describeServerKey(ssh_session session, std::string& type, std::string& fingerprint) {
  ssh_key raw = nullptr;
  if (ssh_get_server_publickey(session, &raw) != SSH_OK) return false;
  const SshKeyHandle key(raw);
  type = ssh_key_type_to_char(ssh_key_type(key.get()));
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

// "[host]:port" as known_hosts and ssh-keygen -R name a server off port 22.
std::string knownHostsName(const std::string& host, int port) {
  if (port == 22) return host;
  return "[" + host + "]:" + std::to_string(port);
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
  const ssh_known_hosts_e known = ssh_session_is_known_server(session);
  if (known == SSH_KNOWN_HOSTS_OK) return {};
  std::string type;
  std::string fingerprint;
  if (!describeServerKey(session, type, fingerprint)) {
    detail = ssh_get_error(session);
    return ErrorCode::SshProtocolFailure;
  }
  // A key of another type for the host counts as changed, as OpenSSH's client sees it.
  const bool changed = known == SSH_KNOWN_HOSTS_CHANGED || known == SSH_KNOWN_HOSTS_OTHER;
  detail = hostKeyAdvice(changed, host, port, type, fingerprint, file);
  return changed ? ErrorCode::SshHostKeyChanged : ErrorCode::SshHostUnknown;
}

}  // namespace skyhaul::inet::detail
