#include "support/messages.h"

#include <gtest/gtest.h>

#include "fakes/fake_ui.h"

namespace setup {
namespace {

using testing::CatalogueStrings;
using testing::RecordingMessageBoxes;
using testing::ShownBox;

// The texts the user must see, word for word.
const std::map<uint32_t, std::string> kExpectedCatalogue = {
    {1, "You are using unsupported OS"},
    {2, "Windows Installer 2.0 service not found or version wrong. Installation is impossible."},
    {3, "Windows Installer initialization error"},
    {4, "Installation package not found"},
    {5, "Error opening installation package (may be corrupted)."},
    {6, "Error working with installation package (may be corrupted)"},
    {7, "No availiable language found."},
    {8, "A wrong language was selected"},
    {9, "Error copying files from disks. Installation failed."},
    {10, "Error determining free disk space. Installation failed."},
    {11, "Not enough free space for temporary files."},
    {12, "Language not found. Installation is impossible."},
    {13,
     "Required NT Service Pack 6 not found ! Please install this before starting the "
     "installation."},
    {14, "The default language 'English' not exists and cannot be selected"},
    {101,
     "Disk %1 could not be read. Clean it or use another copy of disk %1, insert it and choose "
     "Retry."},
    {102, "This is not disk %1 of this set. Insert disk %1 of this set and choose Retry."},
    {1601,
     "The Windows Installer service could not be accessed. Contact your support personnel "
     "to verify that the Windows Installer service is properly registered."},
    {1603, "Fatal error during installation."},
    {1605, "This action is only valid for products that are currently installed."},
    {1610, "The configuration data for this product is corrupt. Contact your support personnel."},
    {1612,
     "The installation source for this product is not available. Verify that the source "
     "exists and that you can access it."},
    {1613,
     "This installation package cannot be installed by the Windows Installer service. You "
     "must install a Windows service pack that contains a newer version of the Windows "
     "Installer service."},
    {1618,
     "Another installation is already in progress. Complete that installation before "
     "proceeding with this install."},
    {1619,
     "This installation package could not be opened. Verify that the package exists and "
     "that you can access it, or contact the application vendor to verify that this is a "
     "valid Windows Installer package."},
    {1620,
     "This installation package could not be opened. Contact the application vendor to "
     "verify that this is a valid Windows Installer package."},
    {1621,
     "There was an error starting the Windows Installer service user interface. Contact "
     "your support personnel."},
    {1622,
     "Error opening installation log file. Verify that the specified log file location "
     "exists and is writable."},
    {1623, "This language of this installation package is not supported by your system."},
    {1624, "Error applying transforms. Verify that the specified transform paths are valid."},
    {1631, "The Windows Installer service failed to start. Contact your support personnel."},
    {1632,
     "The temp folder is either full or inaccessible. Verify that the temp folder exists "
     "and that you can write to it."},
    {1633,
     "This installation package is not supported on this platform. Contact your "
     "application vendor."},
    {1638,
     "Another version of this product is already installed. Installation of this version "
     "cannot continue. To configure or remove the existing version of this product, use "
     "Add/Remove Programs on the Control Panel."},
    {3010, "A reboot is required to complete the install."},
};

constexpr uint32_t kStyle = 0x1010;  // MB_OK | MB_ICONHAND | MB_SYSTEMMODAL

TEST(Messages, CatalogueHoldsExactlyTheExpectedTexts) {
  CatalogueStrings catalogue;
  EXPECT_EQ(catalogue.strings, kExpectedCatalogue);
}

TEST(Messages, EveryNumberShowsItsTextOrTheFallback) {
  CatalogueStrings catalogue;
  for (uint32_t id : {0u, 1u, 2u, 9u, 14u, 15u, 1602u, 1603u, 1641u, 3010u, 4294967295u}) {
    SCOPED_TRACE(id);
    RecordingMessageBoxes boxes;
    Messages(catalogue, boxes).ShowMessageById(id);
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    auto it = kExpectedCatalogue.find(id);
    if (it != kExpectedCatalogue.end()) {
      EXPECT_EQ(shown[0].text, it->second);
      EXPECT_EQ(shown[0].caption, "Installation Error");
    } else {
      EXPECT_EQ(shown[0].text, "Critical unexpected error!");
      EXPECT_EQ(shown[0].caption, "Error");
    }
    EXPECT_EQ(shown[0].style, kStyle);
  }
}

TEST(Messages, ExceptionTextsGoThroughTheKeyTable) {
  struct Row {
    std::string text;
    std::vector<std::string> shown;  // texts under "Error"
  } rows[] = {
      {"InstallProduct,PackagePath,PropertyValues", {}},
      {"No_enough_mem", {"No enough memory."}},
      {"no_enough_mem", {"Unknown error"}},
      {"Er_load_res", {"Error loading resources."}},
      {"Er_init_inst", {"Error init installer mechanism"}},
      {"Er_init_inst ", {"Unknown error"}},
      {"", {"Unknown error"}},
      {"OpenView,Sql", {"Unknown error"}},
  };
  CatalogueStrings catalogue;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    RecordingMessageBoxes boxes;
    Messages(catalogue, boxes).ShowExceptionMessage(row.text);
    std::vector<std::string> texts;
    for (const ShownBox& b : boxes.Shown()) {
      EXPECT_EQ(b.caption, "Error");
      EXPECT_EQ(b.style, kStyle);
      texts.push_back(b.text);
    }
    EXPECT_EQ(texts, row.shown);
  }
}

TEST(Messages, EmptyTextsShowNothingAndTheInternalErrorHasNoNumber) {
  CatalogueStrings catalogue;
  RecordingMessageBoxes boxes;
  Messages messages(catalogue, boxes);
  messages.ShowErrorText("");
  messages.ShowInstallationErrorText("");
  EXPECT_TRUE(boxes.Shown().empty());
  messages.ShowInternalError();
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, "Internal error number ..");
  EXPECT_EQ(boxes.Shown()[0].caption, "Error");
}

TEST(Messages, LongExceptionTextsAreCutBeforeTheLookup) {
  class LongText : public FrameworkException {
   public:
    std::string Text() const override { return std::string(254, 'x') + "No_enough_mem"; }
  };
  CatalogueStrings catalogue;
  RecordingMessageBoxes boxes;
  Messages(catalogue, boxes).ShowException(LongText());
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, "Unknown error");
}

}  // namespace
}  // namespace setup
