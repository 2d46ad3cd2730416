#pragma once
// Replacing the seven library files together, so that a process killed at any
// moment leaves either every old file or every new one. A save writes each new
// file whole and synced under a staged name beside its target, then records the
// set in a commit marker (the commit point), then renames the staged files over
// their targets and removes the marker. Whoever uses the folder next (a load or
// a save) first settles it: a marker it finds is rolled forward, and staged
// files that no marker claims are removed.
//
// Names beside the targets:
//   "." + target name + ".qbnew"   a staged file: the complete new target
//   ".library.qbcommit"            the commit marker, in the library folder

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace quillbox::book {

// The seven files of a library: shelf lists 1..3, book lists 1..3, Money.dat.
class LibraryFileSet {
  public:
    static constexpr std::size_t kCount = 7;

    // folder ends with a separator; the prefixes are joined to it without one.
    // Everything is mapped to native paths here.
    LibraryFileSet(std::string_view folder, std::string_view shelfPrefix,
                   std::string_view bookPrefix);

    // The native library folder, ending with '/'.
    const std::string& folder() const { return m_folder; }
    // Native path of file i (0..6) and of its staged replacement.
    const std::string& target(std::size_t i) const { return m_targets[i]; }
    std::string staged(std::size_t i) const;
    // The paths below folder() that go into the commit marker.
    const std::array<std::string, kCount>& names() const { return m_names; }
    // False when a prefix leads out of the folder: such a set can be read but
    // not committed.
    bool committable() const { return m_committable; }

  private:
    std::string m_folder;
    std::array<std::string, kCount> m_targets;
    std::array<std::string, kCount> m_names;
    bool m_committable = true;
};

// The staged name of a native target path: "." + name + ".qbnew" beside it.
std::string stagedPathFor(const std::string& target);

// Rolls forward a commit marker left in the folder by a save that was stopped
// after its commit point, then removes the staged files of files that no
// marker claims. Returns false when a marker is still there afterwards (a
// rename or the removal failed): the folder must not be saved into then.
bool settleLibraryFolder(const LibraryFileSet& files);

// Commits the staged files of files, which must all be complete and synced:
// writes the marker durably, renames each staged file over its target, syncs
// the folder and removes the marker. Returns false when the marker could not
// be written (the staged files are removed, the old files stay) or a rename
// failed (the marker and the staged files stay, and the next settle finishes
// the commit).
bool commitLibraryFiles(const LibraryFileSet& files);

// Removes the staged files of files; for a save that fails before its commit.
void discardStagedFiles(const LibraryFileSet& files);

// Test seam: when set, the hook is called before each step by which a save
// changes the folder (each staged file put in place, the marker written, each
// rename, the marker removed), so that a test can stop the process there as a
// kill would. Null (the default) for none. Not thread-safe; for tests only.
using SaveStepHook = void (*)();
void setSaveStepHook(SaveStepHook hook);
// Calls the hook, if any; for the save's own steps.
void reachSaveStep();

}  // namespace quillbox::book
