// The streamed transfers of cFTP: 255-byte chunks with a progress event after each. The bytes
// themselves move in blocks of whole chunks, each followed by its chunks' events, so that a
// chunk costs its event and little more.
#include <algorithm>
#include <array>
#include <chrono>
#include <utility>
#include <vector>

#include "ftp/cFTP.h"
#include "platform/Deadline.h"
#include "platform/PartFile.h"
#include "settings/TrimSpaces.h"

namespace skyhaul::ftp {

namespace {

using Chunk = std::array<char, kChunkSize>;
using settings::trimSpaces;

// Large enough that the calls of a block cost little beside its 64 events.
constexpr std::int64_t kChunksPerBlock = 64;
// A download's block that is still filling after this long is cut at its last whole chunk and
// its events raised, so that on a slow link the display follows the bytes as they arrive.
constexpr std::chrono::milliseconds kBlockPatience{100};

// The next block: as many whole chunks as are left, at most a block's worth.
std::size_t wholeChunksOf(std::int64_t left) {
  return static_cast<std::size_t>(std::min(left / kChunkSize, kChunksPerBlock) * kChunkSize);
}

// Trims both names in place; false when either is then empty.
bool trimNames(std::string& sLocal, std::string& sRemote) {
  sLocal = trimSpaces(sLocal);
  sRemote = trimSpaces(sRemote);
  return !sLocal.empty() && !sRemote.empty();
}

// Reads exactly `size` bytes of the local file; a file that shrank under us is a read fault.
platform::ErrorCode readLocalChunk(platform::LocalSource& local, char* data, std::size_t size) {
  std::size_t got = 0;
  if (!local.read(data, size, got)) return local.error();
  return got == size ? platform::ErrorCode::Success : platform::ErrorCode::ReadFault;
}

}  // namespace

bool cFTP::FTPUploadFile(std::string& sLocal, std::string& sRemote) {
  uploadedSource_.reset();
  if (!trimNames(sLocal, sRemote)) return false;
  beginTransfer();
  // The source is opened before the remote file exists, so an unreadable source leaves nothing
  // behind on the server.
  platform::LocalSource local;
  if (!openSource(local, sLocal)) return false;
  const std::int64_t offset = uploadResumePoint(local, sRemote);
  if (!succeeded(openRemote(sRemote, inet::FileAccess::Write, offset), "FtpOpenFile:PutFile")) {
    return false;
  }
  const std::int64_t total = local.size();
  if (!startSending(local, offset)) return false;
  if (!sendChunks(local, sRemote, offset, total)) {
    keepUploadForLater(local, sRemote);
    return false;
  }
  letTheServerFinish(local, total);
  if (!finishUpload()) {
    dropRefusedUpload(local, sRemote);
    return false;
  }
  if (!verifyUpload(local, sLocal, sRemote, total)) return false;
  uploadedSource_ = local.version();
  return true;
}

void cFTP::beginTransfer() {
  transferNote_.clear();
  facts_ = {};
}

inet::Status cFTP::openRemote(const std::string& sRemote, inet::FileAccess access,
                              std::int64_t offset) {
  if (!connected()) return notConnected();
  return hConnection->openStream(sRemote, access, transferType(), offset, hFile);
}

bool cFTP::openSource(platform::LocalSource& local, const std::string& sLocal) {
  if (local.openForReading(sLocal)) return true;
  recordLocalError(local, "OpenLocalFile");
  return false;
}

// The bytes the server already holds are not sent again; a digest still takes them in.
bool cFTP::startSending(platform::LocalSource& local, std::int64_t offset) {
  startDigest();
  if (!skipSent(local, offset)) {
    recordLocalError(local, "ReadLocalFile");
    hFile.reset();
    return false;
  }
  if (offset > 0) noteResumedAt(offset, "izvorna datoteka je ista kot ob prekinitvi");
  return true;
}

// The server finishes its copy during the wait; its answer, or a failure of this, is read after
// it.
void cFTP::letTheServerFinish(platform::LocalSource& local, std::int64_t total) {
  hFile->endData();
  raiseProgress(total, total);
  local.close();
  setLabel11("Konec.");
  if (events_ != nullptr) events_->yieldBeforeWait();
  clock_.sleep(std::chrono::milliseconds(1000));
  yield(2);
}

// Refused at its end: whatever the server kept of it is no file anybody may take, unless it is
// our own temporary, which the next attempt finishes or writes over.
void cFTP::dropRefusedUpload(const platform::LocalSource& local, const std::string& sRemote) {
  if (!keepUploadForLater(local, sRemote) && connected()) {
    static_cast<void>(hConnection->deleteFile(sRemote));
  }
}

// A confirmed upload counts only when the source is still what was sent, and the server holds
// all of it; a source may be deleted on the strength of this. In ASCII type the server turns
// line ends into its own, so only the source is checked then.
bool cFTP::verifyUpload(const platform::LocalSource& local, const std::string& sLocal,
                        const std::string& sRemote, std::int64_t sent) {
  std::string detail;
  inet::Status checked;
  if (!local.unchangedSinceOpened(sLocal)) {
    checked = platform::ErrorCode::FileInvalid;
  } else if (lTransferType == kTransferTypeBinary) {
    std::optional<std::int64_t> stored;
    checked = hConnection->reportStoredSize(sRemote, stored);
    if (checked && stored) {
      facts_.sizeConfirmed = *stored == sent;
      if (*stored != sent) checked = platform::ErrorCode::StoredSizeMismatch;
      detail = " (" + std::to_string(*stored) + " od " + std::to_string(sent) + ")";
    }
  }
  if (checked && verifyDigest(sRemote, sent)) {
    facts_.bytes = sent;
    return true;
  }
  if (!checked) {
    RecordErrorMessage(checked, "VerifyUpload",
                       checked.code() == platform::ErrorCode::StoredSizeMismatch ? detail : "");
  }
  // What the server holds is not the source: nobody may take it for the file.
  static_cast<void>(hConnection->deleteFile(sRemote));
  return false;
}

// Sends the full chunks, then the last shorter one. On failure the remote file is closed (and,
// when it cannot be complete, deleted) and the text recorded.
bool cFTP::sendChunks(platform::LocalSource& local, const std::string& sRemote, std::int64_t from,
                      std::int64_t total) {
  // Only bytes a digest must see pass through the program.
  std::vector<char> block(digest_ ? static_cast<std::size_t>(kChunksPerBlock * kChunkSize) : 0);
  std::int64_t sent = from;
  while (total - sent >= kChunkSize) {
    const std::size_t size = wholeChunksOf(total - sent);
    if (!sendBlock(local, block, sent, size, sRemote, false)) return false;
    for (std::size_t done = 0; done < size; done += kChunkSize) {
      yield();
      sent += kChunkSize;
      raiseProgress(sent, total);
      yield();
    }
  }
  if (sent < total) {
    return sendBlock(local, block, sent, static_cast<std::size_t>(total - sent), sRemote, true);
  }
  return true;
}

// Hands `size` bytes of the source from `at` on to the remote file: straight from the file
// when no digest needs to see them, else read into `block` and fed to the digest on the way.
// A source that ends early is a read fault, and no remote file may stay that lacks its end.
bool cFTP::sendBlock(platform::LocalSource& local, std::vector<char>& block, std::int64_t at,
                     std::size_t size, const std::string& sRemote, bool last) {
  inet::Status read;  // of the source
  inet::Status written;
  if (!digest_) {
    written = hFile->writeFromFile(local.descriptor(), at, size);
    if (written.code() == platform::ErrorCode::ReadFault) read = written;
  } else {
    read = readLocalChunk(local, block.data(), size);
    if (read) {
      digest_->update(block.data(), size);
      written = hFile->write(block.data(), size);
    }
  }
  if (read && written) return true;
  if (!read) {
    RecordErrorMessage(read, "ReadLocalFile");
  } else {
    RecordErrorMessage(written, last ? "InternetWriteFile2" : "InternetWriteFile");
  }
  hFile.reset();
  if (last || !read) DeleteFTPFile(sRemote);
  if (last || read) yield();
  return false;
}

// Completing the remote file is where the server confirms or refuses the stored file; only a
// confirmed file counts as sent, so that its source may be deleted.
bool cFTP::finishUpload() {
  const bool stored = succeeded(hFile->close(), "InternetCloseHandle");
  hFile.reset();
  setLabel11("INTERNET CLOSE");
  yield();
  return stored;
}

bool cFTP::FTPDownloadFile(std::string& sLocal, std::string& sRemote) {
  if (!trimNames(sLocal, sRemote)) return false;
  beginTransfer();
  const std::int64_t total = sizeOfSource(sRemote);
  if (total < 0) return false;
  noteSourceVersion(sRemote, total);
  // A part an earlier attempt or run kept is taken up again; the new bytes start after it.
  const std::string origin = resumeOrigin(sLocal, sRemote, total, downloadedTime_);
  platform::LocalTarget local;
  const std::int64_t offset = takeUpKeptPart(local, sLocal, origin, total);
  if (!startReceiving(local, offset)) return false;
  if (!openDownload(local, sRemote, offset, origin)) return false;
  if (!openTarget(local, sLocal, offset, origin)) return false;
  yield();
  if (!receiveAll(local, offset, total)) {
    hFile.reset();
    keepForLater(local, origin);
    return false;
  }
  raiseProgress(total, total);
  yield(2);
  return finishDownload(local, sRemote, total, origin);
}

// The name is one the listing gave: it is sized as itself, never as a pattern. Below 0 when it
// cannot be, with the text recorded.
std::int64_t cFTP::sizeOfSource(const std::string& sRemote) {
  const std::int64_t total = GetRemoteFileSize(sRemote);
  // A file gone since it was listed gets a text of its own, never an older failure's.
  if (total == -1) RecordErrorMessage(platform::ErrorCode::FileNotFound, "FtpFindFirstFile");
  yield();
  return total;
}

// What the file was as its data started to move: whoever deletes it afterwards can tell whether
// somebody was still writing it.
void cFTP::noteSourceVersion(const std::string& sRemote, std::int64_t total) {
  downloadedSize_ = total;
  downloadedTime_.clear();
  if (resumable() && !hConnection->modificationTime(sRemote, downloadedTime_)) {
    downloadedTime_.clear();
  }
}

// A file taken up again is checked whole: its kept part goes into the digest first.
bool cFTP::startReceiving(platform::LocalTarget& local, std::int64_t offset) {
  startDigest();
  if (offset == 0 || !digest_ || digestWritten(local, offset)) return true;
  recordLocalError(local, "ReadLocalFile");
  local.discard();
  return false;
}

// The failure is recorded after the yield, so that it is this failure's text whatever the
// yield runs.
bool cFTP::openDownload(platform::LocalTarget& local, const std::string& sRemote,
                        std::int64_t offset, const std::string& origin) {
  const inet::Status opened = openRemote(sRemote, inet::FileAccess::Read, offset);
  yield();
  if (succeeded(opened, "FtpOpenFile:GetFile")) return true;
  if (offset > 0) keepForLater(local, origin);
  return false;
}

// A new download writes a new version of the local file, recording what it is part of; one
// taken up again goes on after the part kept.
bool cFTP::openTarget(platform::LocalTarget& local, const std::string& sLocal, std::int64_t offset,
                      const std::string& origin) {
  if (offset > 0) {
    noteResumedAt(offset, "datoteka na strežniku ima isto velikost in čas spremembe");
    return true;
  }
  if (!local.openForWriting(sLocal)) {
    recordLocalError(local, "OpenLocalFile");
    hFile.reset();
    return false;
  }
  if (!origin.empty()) (void)local.recordOrigin(origin);
  return true;
}

bool cFTP::receiveAll(platform::LocalTarget& local, std::int64_t offset, std::int64_t total) {
  return lTransferType == kTransferTypeAscii ? receiveTextChunks(local, total)
                                             : receiveChunks(local, offset, total);
}

// From `from` on (where a kept part ends), in chunks of 255 bytes and one shorter last chunk,
// with a progress event that counts the whole file after each.
bool cFTP::receiveChunks(platform::LocalTarget& local, std::int64_t from, std::int64_t total) {
  std::int64_t received = from;
  PartialChunk partial;
  while (total - received >= kChunkSize) {
    std::size_t size = wholeChunksOf(total - received);
    if (!receiveBlock(local, size, "InternetReadFile", partial)) return false;
    for (std::size_t done = 0; done < size; done += kChunkSize) {
      yield(2);
      received += kChunkSize;
      raiseProgress(received, total);
      yield(2);
    }
  }
  if (received < total) {
    yield();
    std::size_t size = static_cast<std::size_t>(total - received);
    if (!receiveBlock(local, size, "InternetReadFile2", partial)) return false;
    yield(2);
  }
  return true;
}

// In ASCII type the server turns line ends into CR LF on the way, so the data need not be as
// long as the file the listing sized: it is taken whole, to its end, in chunks as it comes.
bool cFTP::receiveTextChunks(platform::LocalTarget& local, std::int64_t total) {
  Chunk chunk;
  std::int64_t received = 0;
  for (;;) {
    std::size_t got = 0;
    if (!succeeded(hFile->read(chunk.data(), chunk.size(), got), "InternetReadFile")) return false;
    if (got == 0) return true;
    if (!local.write(chunk.data(), got)) {
      recordLocalError(local, "WriteLocalFile");
      return false;
    }
    received += static_cast<std::int64_t>(got);
    yield(2);
    raiseProgress(received, total);
    yield(2);
  }
}

// Reads up to `size` bytes into the local file's own buffer, where they become part of the
// file: all of them, unless the block has been filling for longer than kBlockPatience, when it
// ends at its last whole chunk; `size` is then what it took, and the bytes of the chunk begun
// wait in `partial` for the next block. Data that ends early (a remote file shorter than its
// listed size) is a failure, never padding.
bool cFTP::receiveBlock(platform::LocalTarget& local, std::size_t& size, const char* source,
                        PartialChunk& partial) {
  char* block = local.prepareWrite(size);
  if (block == nullptr) {
    recordLocalError(local, "WriteLocalFile");
    return false;
  }
  std::size_t got = std::exchange(partial.size, 0);
  std::copy_n(partial.bytes.data(), got, block);
  const platform::Deadline patience(kBlockPatience);
  while (got < size) {
    std::size_t part = 0;
    if (!succeeded(hFile->readSome(block + got, size - got, part), source)) return false;
    if (part == 0) {
      RecordErrorMessage(platform::ErrorCode::FtpSizeMismatch, source);
      return false;
    }
    got += part;
    if (got >= kChunkSize && got < size && patience.passed()) {
      partial.size = got % kChunkSize;
      std::copy_n(block + got - partial.size, partial.size, partial.bytes.data());
      size = got - partial.size;
    }
  }
  local.commitWrite(size);
  if (digest_) digest_->update(block, size);
  return true;
}

// The file is complete only when the data ends where the listing said, the server confirmed
// the transfer and, where it computes one, its digest is ours; only then does the new copy take
// the place of the local file, which until then stays as it was. Data beyond the size, or a
// digest that differs, means the part is no use to anyone; a missing confirmation leaves it
// for the next attempt.
bool cFTP::finishDownload(platform::LocalTarget& local, const std::string& sRemote,
                          std::int64_t total, const std::string& origin) {
  char extra = 0;
  std::size_t more = 0;
  const inet::Status read = hFile->read(&extra, 1, more);
  if (!read || more != 0) {
    RecordErrorMessage(more != 0 ? inet::Status(platform::ErrorCode::FtpSizeMismatch) : read,
                       "InternetReadFile");
    local.discard();
    hFile.reset();
    return false;
  }
  const bool confirmed = succeeded(hFile->close(), "InternetCloseHandle");
  hFile.reset();
  if (!confirmed) {
    keepForLater(local, origin);
    return false;
  }
  if (!verifyDigest(sRemote, total)) {
    local.discard();
    return false;
  }
  if (!local.close()) {
    recordLocalError(local, "WriteLocalFile");
    return false;
  }
  facts_.bytes = total;
  facts_.sizeConfirmed = lTransferType == kTransferTypeBinary;
  yield();
  return true;
}

}  // namespace skyhaul::ftp
