#include "output/DfxmlReport.h"

#include <stdio.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <sstream>

#include "platform/CalendarTime.h"
#include "platform/Clock.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/PathChanges.h"
#include "platform/PlatformError.h"
#include "platform/PrintableText.h"

namespace salvora {

DfxmlReport::DfxmlReport(std::string source, std::string commandLine)
    : source_(std::move(source)), commandLine_(std::move(commandLine)) {}

std::string DfxmlReport::Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const platform::Utf8Step step = platform::NextUtf8Step(text, pos);
    switch (step.valid ? step.codePoint : 0xFFFD) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      // Kept as references, so that a reader gets the name back exactly, line ends included.
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      // The document is UTF-8: a malformed byte becomes the replacement character.
      case 0xFFFD: out += step.valid ? text.substr(pos, step.length) : "\xEF\xBF\xBD"; break;
      default:
        // XML 1.0 cannot carry the other C0 controls at all: they are written as the terminal
        // shows them ("\x1B"), as are DEL and the C1 controls, so that a name keeps every character.
        if (step.codePoint < 0x20 || (step.codePoint >= 0x7F && step.codePoint <= 0x9F))
          out += platform::PrintableText(std::string_view(text).substr(pos, step.length));
        else
          out.append(text, pos, step.length);
    }
    pos += step.length;
  }
  return out;
}

std::string DfxmlReport::IsoTime(uint64_t fileTime) {
  if (fileTime == 0) return "";
  std::tm tm {};
  if (!platform::UtcCalendar(platform::FileTimeToUnix(fileTime), tm)) return "";
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::string DfxmlReport::ToXml() const {
  std::ostringstream x;
  x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    << "<dfxml xmloutputversion=\"1.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
    << "  <metadata>\n    <dc:type>Recovery report</dc:type>\n  </metadata>\n"
    << "  <creator>\n    <program>salvora</program>\n    <version>0.1.0</version>\n"
    << "    <execution_environment>\n      <command_line>" << Escape(commandLine_)
    << "</command_line>\n    </execution_environment>\n  </creator>\n"
    << "  <source>\n    <image_filename>" << Escape(source_) << "</image_filename>\n  </source>\n";
  for (const auto& f : files_) {
    x << "  <fileobject>\n"
      << "    <filename>" << Escape(f.filename) << "</filename>\n"
      << "    <filesize>" << f.filesize << "</filesize>\n"
      << "    <alloc>" << (f.deleted ? 0 : 1) << "</alloc>\n";
    if (auto t = IsoTime(f.writeTime); !t.empty()) x << "    <mtime>" << t << "</mtime>\n";
    if (auto t = IsoTime(f.creationTime); !t.empty()) x << "    <crtime>" << t << "</crtime>\n";
    if (auto t = IsoTime(f.accessTime); !t.empty()) x << "    <atime>" << t << "</atime>\n";
    if (!f.byteRuns.empty()) {
      x << "    <byte_runs>\n";
      for (const auto& r : f.byteRuns)
        x << "      <byte_run file_offset=\"" << r.fileOffset << "\" img_offset=\"" << r.imageOffset
          << "\" len=\"" << r.length << "\"/>\n";
      x << "    </byte_runs>\n";
    }
    if (!f.sha256.empty()) x << "    <hashdigest type=\"sha256\">" << f.sha256 << "</hashdigest>\n";
    std::string foundBy;
    for (const auto& engine : f.foundBy) foundBy += (foundBy.empty() ? "" : " ") + engine;
    x << "    <salvora:output xmlns:salvora=\"urn:salvora\" engine=\"" << Escape(f.engine) << "\"";
    if (!f.state.empty()) x << " state=\"" << Escape(f.state) << "\"";
    if (!foundBy.empty()) x << " found_by=\"" << Escape(foundBy) << "\"";
    if (!f.timeSource.empty()) x << " times_from=\"" << Escape(f.timeSource) << "\"";
    if (!f.status.empty()) x << " status=\"" << Escape(f.status) << "\"";
    if (!f.originalName.empty()) x << " original_name=\"" << Escape(f.originalName) << "\"";
    if (f.verdict) {
      x << " content=\"" << f.verdict->StateWord() << "\"";
      if (f.verdict->damaged()) x << " damaged_at=\"" << f.verdict->damagedAt << "\"";
    }
    x << ">" << Escape(f.outputPath) << "</salvora:output>\n";
    x << "  </fileobject>\n";
  }
  x << "</dfxml>\n";
  return x.str();
}

int DfxmlReport::WriteTo(const std::string& path, bool replace) const {
  // A fresh name of its own: a fixed one could be an existing file, even the source.
  std::string tmp = path + ".XXXXXX";
  int fd = platform::MakeTempFile(tmp);
  if (fd < 0) return platform::LastError();
  const std::string xml = ToXml();
  int rc = platform::WriteAllAt(fd, xml.data(), xml.size(), 0);
  if (rc == 0 && platform::SetFileMode(fd, 0644) != 0) rc = platform::LastError();
  if (platform::CloseFile(fd) != 0 && rc == 0) rc = platform::LastError();
  if (rc != 0 || replace) {
    if (rc == 0 && platform::RenameReplacing(tmp, path) != 0) rc = platform::LastError();
  } else if (platform::RenameExclusive(tmp, path) != 0) {
    // File systems without the no-replace rename still refuse to link over an existing name.
    rc = errno == EINVAL && platform::HardLink(tmp, path) == 0 ? 0 : platform::LastError();
    if (rc == 0) platform::RemoveFile(tmp);
  }
  if (rc != 0) platform::RemoveFile(tmp);
  return rc;
}

}  // namespace salvora
