#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <system_error>

#include "floppy/volume_digest.h"
#include "support/crc32.h"
#include "support/text.h"
#include "tools/mkdiskset/commands.h"
#include "tools/mkdiskset/disk_set_author.h"

namespace fs = std::filesystem;

namespace setup::tools {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;

int64_t Clusters(int64_t bytes) { return (bytes + kClusterSize - 1) / kClusterSize * kClusterSize; }

// Names outside ASCII are written in UTF-8 (as the file system here has
// them), marked with the byte-order mark; an all-ASCII manifest has no mark.
std::string Manifest(const Medium& medium) {
  std::ostringstream text;
  for (const MediumFile& file : medium.files) {
    if (!IsAscii(file.relative)) {
      text << kUtf8Bom;
      break;
    }
  }
  int number = 1;
  for (const MediumFile& file : medium.files) {
    text << number++ << ',' << file.relative << ',' << file.size << "\r\n";
  }
  return text.str();
}

// The lines that record each volume's digest, after the entries.
std::string DigestLines(const std::vector<VolumeDigest>& digests) {
  std::string lines;
  for (std::size_t i = 0; i < digests.size(); ++i) {
    lines += FormatDigestLine(static_cast<int32_t>(i + 1), digests[i]) + "\r\n";
  }
  return lines;
}

// How the bytes are cut: each disk's capacity for its volume. Disk 1 also
// carries SETUP.EXE and Files.id, whose digest lines grow with the number
// of disks, which in turn grows with them: the plan is made again until
// the clusters of Files.id stay the same.
struct DiskPlan {
  std::vector<int64_t> capacities;
  std::vector<VolumeDigest> digests;  // lengths only: what the digest lines take
  int64_t manifestSize = 0;
};

std::optional<DiskPlan> PlanDisks(int64_t total, int64_t usable, int64_t setupSize,
                                  const std::string& entries) {
  int64_t manifestSize = static_cast<int64_t>(entries.size());
  for (;;) {
    DiskPlan plan;
    const int64_t first = usable - Clusters(setupSize) - Clusters(manifestSize);
    if (first < kClusterSize) return std::nullopt;
    int64_t left = total;
    for (int64_t capacity = first;; capacity = usable) {
      plan.capacities.push_back(capacity);
      plan.digests.push_back({std::min(left, capacity), 0, 0});
      left -= plan.digests.back().length;
      if (left == 0) break;
    }
    plan.manifestSize = static_cast<int64_t>(entries.size() + DigestLines(plan.digests).size());
    if (Clusters(plan.manifestSize) == Clusters(manifestSize)) return plan;
    manifestSize = plan.manifestSize;
  }
}

// Removes the half-made set unless told it is complete.
class StagingFolder {
 public:
  explicit StagingFolder(fs::path path) : path_(std::move(path)) {}
  ~StagingFolder() {
    if (!kept_) {
      std::error_code ignored;
      fs::remove_all(path_, ignored);
    }
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  const fs::path& path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  fs::path path_;
  bool kept_ = false;
};

// Writes the joined bytes of the medium's files into volumes of the given
// capacities, switching to the next volume whenever one is full.
class VolumeWriter {
 public:
  VolumeWriter(std::vector<fs::path> volumes, std::vector<int64_t> capacities)
      : volumes_(std::move(volumes)),
        capacities_(std::move(capacities)),
        digests_(volumes_.size()) {}

  // What was written to each volume.
  const std::vector<VolumeDigest>& Digests() const { return digests_; }

  bool Write(const char* data, int64_t count, std::ostream& err) {
    while (count > 0) {
      if (!stream_.is_open() || written_ == capacities_[current_]) {
        if (!NextVolume(err)) return false;
        continue;
      }
      int64_t room = capacities_[current_] - written_;
      int64_t piece = std::min(room, count);
      stream_.write(data, static_cast<std::streamsize>(piece));
      if (!stream_) {
        err << "mkdiskset: cannot write " << volumes_[current_].string() << "\n";
        return false;
      }
      VolumeDigest& digest = digests_[current_];
      const int64_t firstBlock =
          std::min<int64_t>(piece, std::max<int64_t>(0, int64_t{kFirstBlockSize} - written_));
      digest.firstBlockCrc =
          Crc32(digest.firstBlockCrc, data, static_cast<std::size_t>(firstBlock));
      digest.crc = Crc32(digest.crc, data, static_cast<std::size_t>(piece));
      digest.length += piece;
      written_ += piece;
      data += piece;
      count -= piece;
    }
    return true;
  }

  // Creates the volumes not reached by the data (an empty set still has
  // Disk.1) and closes the last one.
  bool Finish(std::ostream& err) {
    while (!stream_.is_open() || current_ + 1 < volumes_.size()) {
      if (!NextVolume(err)) return false;
    }
    stream_.close();
    if (stream_.fail()) {
      err << "mkdiskset: cannot write " << volumes_[current_].string() << "\n";
      return false;
    }
    return true;
  }

 private:
  bool NextVolume(std::ostream& err) {
    if (stream_.is_open()) {
      stream_.close();
      if (stream_.fail()) {
        err << "mkdiskset: cannot write " << volumes_[current_].string() << "\n";
        return false;
      }
      ++current_;
    }
    if (current_ >= volumes_.size()) {
      err << "mkdiskset: internal error: the data does not fit the planned disks\n";
      return false;
    }
    stream_.open(volumes_[current_], std::ios::binary | std::ios::trunc);
    written_ = 0;
    if (!stream_) {
      err << "mkdiskset: cannot create " << volumes_[current_].string() << "\n";
      return false;
    }
    return true;
  }

  std::vector<fs::path> volumes_;
  std::vector<int64_t> capacities_;
  std::vector<VolumeDigest> digests_;
  std::size_t current_ = 0;
  int64_t written_ = 0;
  std::ofstream stream_;
};

bool CopyWhole(const fs::path& from, const fs::path& to, std::ostream& err) {
  std::error_code error;
  if (!fs::copy_file(from, to, error)) {
    err << "mkdiskset: cannot copy " << from.string() << ": " << error.message() << "\n";
    return false;
  }
  return true;
}

bool WriteText(const fs::path& to, const std::string& text, std::ostream& err) {
  std::ofstream stream(to, std::ios::binary | std::ios::trunc);
  stream.write(text.data(), static_cast<std::streamsize>(text.size()));
  stream.close();
  if (stream.fail()) {
    err << "mkdiskset: cannot write " << to.string() << "\n";
    return false;
  }
  return true;
}

bool MakeImage(const fs::path& image, int disk, const std::vector<fs::path>& files,
               std::ostream& err) {
  std::string label = "DISK" + std::to_string(disk);
  if (!RunTool({"mformat", "-i", image.string(), "-C", "-f", "1440", "-v", label, "::"}, err))
    return false;
  for (const fs::path& file : files) {
    if (!RunTool(
            {"mcopy", "-i", image.string(), "-o", file.string(), "::" + file.filename().string()},
            err))
      return false;
  }
  std::error_code error;
  if (fs::file_size(image, error) != static_cast<uintmax_t>(kFloppyImageSize)) {
    err << "mkdiskset: " << image.string() << " is not a 1.44 MB image\n";
    return false;
  }
  return true;
}

}  // namespace

int Split(const SplitOptions& options, std::ostream& out, std::ostream& err) {
  if (options.images && options.diskSize > kDefaultDiskSize) {
    err << "mkdiskset: --images needs a disk size of at most " << kDefaultDiskSize << " bytes\n";
    return 2;
  }
  std::error_code error;
  if (fs::exists(options.out, error) &&
      (!fs::is_directory(options.out, error) || !fs::is_empty(options.out, error))) {
    err << "mkdiskset: " << options.out.string() << " exists and is not an empty folder\n";
    return 2;
  }
  fs::path inside = fs::weakly_canonical(options.out, error)
                        .lexically_relative(fs::weakly_canonical(options.medium, error));
  if (!inside.empty() && *inside.begin() != "..") {
    err << "mkdiskset: " << options.out.string() << " lies inside the medium\n";
    return 2;
  }
  std::optional<Medium> medium = ListMedium(options.medium, err);
  if (!medium || !AcceptForFloppyRoute(*medium, options.images, err)) return 2;

  for (const MediumFile& file : medium->files) {
    if (file.size == 0) {
      err << "mkdiskset: warning: " << file.relative
          << " is empty; SETUP.EXE lists it but creates no file for it\n";
    }
  }
  const std::string entries = Manifest(*medium);
  const int64_t setupSize = static_cast<int64_t>(fs::file_size(medium->setupExe, error));
  if (error) {
    err << "mkdiskset: cannot read " << medium->setupExe.string() << "\n";
    return 2;
  }
  const int64_t usable = options.diskSize / kClusterSize * kClusterSize;
  const std::optional<DiskPlan> plan = PlanDisks(medium->totalSize, usable, setupSize, entries);
  if (!plan) {
    // The least Files.id takes: the entries and the digest line of disk 1.
    const int64_t manifestSize =
        static_cast<int64_t>(entries.size() + DigestLines({VolumeDigest{}}).size());
    err << "mkdiskset: a disk of " << options.diskSize << " bytes cannot hold SETUP.EXE ("
        << setupSize << " bytes), Files.id (" << manifestSize
        << " bytes) and a first volume; disk 1 needs at least "
        << Clusters(setupSize) + Clusters(manifestSize) + kClusterSize << " bytes\n";
    return 2;
  }
  const int64_t disks = static_cast<int64_t>(plan->capacities.size());

  fs::path outPath = fs::absolute(options.out).lexically_normal();
  if (!outPath.has_filename()) outPath = outPath.parent_path();  // "out/" names out
  StagingFolder staging(
      outPath.parent_path() /
      ("." + outPath.filename().string() + ".partial-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())));
  fs::remove_all(staging.path(), error);
  std::vector<fs::path> folders;
  std::vector<fs::path> volumes;
  for (int64_t disk = 1; disk <= disks; ++disk) {
    fs::path folder =
        options.flat ? staging.path() : staging.path() / ("disk" + std::to_string(disk));
    if (!fs::create_directories(folder, error) && error) {
      err << "mkdiskset: cannot create " << folder.string() << ": " << error.message() << "\n";
      return 2;
    }
    folders.push_back(folder);
    volumes.push_back(folder / ("Disk." + std::to_string(disk)));
  }

  if (!CopyWhole(medium->setupExe, folders[0] / "SETUP.EXE", err)) return 2;
  VolumeWriter writer(volumes, plan->capacities);
  std::vector<char> block(kBlockSize);
  for (const MediumFile& file : medium->files) {
    std::ifstream in(file.path, std::ios::binary);
    if (!in) {
      err << "mkdiskset: cannot read " << file.path.string() << "\n";
      return 2;
    }
    int64_t left = file.size;
    while (left > 0) {
      in.read(block.data(), static_cast<std::streamsize>(std::min<int64_t>(left, kBlockSize)));
      int64_t got = in.gcount();
      if (got <= 0) {
        err << "mkdiskset: cannot read " << file.path.string() << " (or it shrank while read)\n";
        return 2;
      }
      if (!writer.Write(block.data(), got, err)) return 2;
      left -= got;
    }
    if (in.peek() != std::char_traits<char>::eof()) {
      err << "mkdiskset: " << file.path.string() << " grew while read\n";
      return 2;
    }
  }
  if (!writer.Finish(err)) return 2;
  const std::string manifest = entries + DigestLines(writer.Digests());
  if (static_cast<int64_t>(manifest.size()) != plan->manifestSize) {
    err << "mkdiskset: internal error: Files.id is not the size its disk was planned for\n";
    return 2;
  }
  if (!WriteText(folders[0] / "Files.id", manifest, err)) return 2;

  if (options.images) {
    for (int64_t disk = 1; disk <= disks; ++disk) {
      std::vector<fs::path> content;
      if (disk == 1) content = {folders[0] / "SETUP.EXE", folders[0] / "Files.id"};
      content.push_back(volumes[static_cast<std::size_t>(disk - 1)]);
      fs::path image = staging.path() / ("disk" + std::to_string(disk) + ".img");
      if (!MakeImage(image, static_cast<int>(disk), content, err)) return 2;
    }
  }

  if (fs::exists(outPath, error)) fs::remove(outPath, error);
  fs::rename(staging.path(), outPath, error);
  if (error) {
    err << "mkdiskset: cannot move the set to " << outPath.string() << ": " << error.message()
        << "\n";
    return 2;
  }
  staging.Keep();
  out << "mkdiskset: " << medium->files.size() << " files, " << medium->totalSize << " bytes on "
      << disks << (disks == 1 ? " disk" : " disks") << " in " << outPath.string() << "\n";
  return 0;
}

}  // namespace setup::tools
