// SPDX-License-Identifier: MIT
// The drawing interface: the one implementation of librevenge's
// RVNGDrawingInterface, which turns what a drawing library reports into the
// host objects of each page, in drawing order.
#ifndef JAVTRG_IMPORT_DRAWING_INTERFACE_H
#define JAVTRG_IMPORT_DRAWING_INTERFACE_H

#include <memory>
#include <string>
#include <vector>

#include <librevenge/librevenge.h>

#include "import/import_options.h"

namespace javimport {

struct DrawingState;

class DrawingCollector : public librevenge::RVNGDrawingInterface {
public:
    explicit DrawingCollector(const ImportOptions& options);
    ~DrawingCollector() override;

    // The pages collected: every page, or the one the options ask for.
    std::vector<ImportedPage> takePages();
    // The number of pages the file reported.
    uint32_t pagesSeen() const;
    // Why the collection stopped (a limit the file went beyond); empty when
    // it did not.
    const std::string& failure() const;

    void startDocument(const librevenge::RVNGPropertyList& props) override;
    void endDocument() override;
    void setDocumentMetaData(const librevenge::RVNGPropertyList& props) override;
    void defineEmbeddedFont(const librevenge::RVNGPropertyList& props) override;
    void startPage(const librevenge::RVNGPropertyList& props) override;
    void endPage() override;
    void startMasterPage(const librevenge::RVNGPropertyList& props) override;
    void endMasterPage() override;
    void setStyle(const librevenge::RVNGPropertyList& props) override;
    void startLayer(const librevenge::RVNGPropertyList& props) override;
    void endLayer() override;
    void startEmbeddedGraphics(const librevenge::RVNGPropertyList& props) override;
    void endEmbeddedGraphics() override;
    void openGroup(const librevenge::RVNGPropertyList& props) override;
    void closeGroup() override;
    void drawRectangle(const librevenge::RVNGPropertyList& props) override;
    void drawEllipse(const librevenge::RVNGPropertyList& props) override;
    void drawPolygon(const librevenge::RVNGPropertyList& props) override;
    void drawPolyline(const librevenge::RVNGPropertyList& props) override;
    void drawPath(const librevenge::RVNGPropertyList& props) override;
    void drawGraphicObject(const librevenge::RVNGPropertyList& props) override;
    void drawConnector(const librevenge::RVNGPropertyList& props) override;
    void startTextObject(const librevenge::RVNGPropertyList& props) override;
    void endTextObject() override;
    void startTableObject(const librevenge::RVNGPropertyList& props) override;
    void openTableRow(const librevenge::RVNGPropertyList& props) override;
    void closeTableRow() override;
    void openTableCell(const librevenge::RVNGPropertyList& props) override;
    void closeTableCell() override;
    void insertCoveredTableCell(const librevenge::RVNGPropertyList& props) override;
    void endTableObject() override;
    void insertTab() override;
    void insertSpace() override;
    void insertText(const librevenge::RVNGString& text) override;
    void insertLineBreak() override;
    void insertField(const librevenge::RVNGPropertyList& props) override;
    void openOrderedListLevel(const librevenge::RVNGPropertyList& props) override;
    void openUnorderedListLevel(const librevenge::RVNGPropertyList& props) override;
    void closeOrderedListLevel() override;
    void closeUnorderedListLevel() override;
    void openListElement(const librevenge::RVNGPropertyList& props) override;
    void closeListElement() override;
    void defineParagraphStyle(const librevenge::RVNGPropertyList& props) override;
    void openParagraph(const librevenge::RVNGPropertyList& props) override;
    void closeParagraph() override;
    void defineCharacterStyle(const librevenge::RVNGPropertyList& props) override;
    void openSpan(const librevenge::RVNGPropertyList& props) override;
    void closeSpan() override;
    void openLink(const librevenge::RVNGPropertyList& props) override;
    void closeLink() override;

private:
    std::unique_ptr<DrawingState> state_;
};

}  // namespace javimport

#endif
