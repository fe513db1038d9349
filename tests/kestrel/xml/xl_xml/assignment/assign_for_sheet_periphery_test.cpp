// The less central sections of a sheet read into the worktable's model, as
// loaded packages give them.

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace reader_test;

namespace {

// The load's failure text, or empty; the model of the loaded sheet in `out`.
std::string load_body(vex::xml_document_t& doc, const std::string& body, const vex::sheet_periphery_t** out = nullptr) {
    const std::string error = load(doc, sheet_package("<sheetData/>" + body));
    if (out && error.empty()) *out = &doc.workbook()->first_worktable()->periphery();
    return error;
}

} // namespace

TEST(sheet_periphery_reader, validations_watches_and_ignored_errors) {
    vex::xml_document_t doc;
    const vex::sheet_periphery_t* m = nullptr;
    ASSERT_EQ(load_body(doc,
                        "<dataValidations count=\"2\" disablePrompts=\"1\" xWindow=\"5\">"
                        "<dataValidation type=\"whole\" operator=\"between\" sqref=\"A1:A10\">"
                        "<formula1>1</formula1><formula2>9</formula2></dataValidation>"
                        "<dataValidation type=\"list\" errorStyle=\"warning\" sqref=\"A1:A10 C1:C10\" prompt=\"p\">"
                        "<formula1>\"a,b\"</formula1></dataValidation></dataValidations>"
                        "<cellWatches><cellWatch r=\"B3\"/></cellWatches>"
                        "<ignoredErrors><ignoredError sqref=\"A1 B2\" numberStoredAsText=\"1\"/></ignoredErrors>",
                        &m),
              "");
    ASSERT_EQ(m->cell_watches.size(), 1u);
    EXPECT_EQ(m->cell_watches[0].row, 3);
    EXPECT_EQ(m->cell_watches[0].col, 2);

    ASSERT_TRUE(m->data_validations);
    EXPECT_TRUE(m->data_validations->disable_prompts);
    EXPECT_EQ(m->data_validations->x_window, 5);
    EXPECT_FALSE(m->data_validations->y_window_set);
    ASSERT_EQ(m->data_validations->items.size(), 2u);
    const vex::data_validation_t& whole = m->data_validations->items[0];
    EXPECT_EQ(whole.type, 7u);
    EXPECT_EQ(whole.operator_, 6u);
    EXPECT_EQ(whole.formula1, "1");
    EXPECT_EQ(whole.formula2, "9");
    ASSERT_EQ(whole.sqref.size(), 1u);
    EXPECT_EQ(whole.sqref.ranges()[0].last.row, 10);
    const vex::data_validation_t& list = m->data_validations->items[1];
    EXPECT_EQ(list.error_style, 2u);
    EXPECT_EQ(list.prompt, "p");
    EXPECT_EQ(list.formula1, "\"a,b\"");
    ASSERT_EQ(list.sqref.size(), 2u);  // in document order
    EXPECT_EQ(list.sqref.ranges()[0].first.col, 1);
    EXPECT_EQ(list.sqref.ranges()[1].first.col, 3);
    EXPECT_EQ(list.sqref.ranges()[1].last.row, 10);

    ASSERT_EQ(m->ignored_errors.size(), 1u);
    EXPECT_EQ(m->ignored_errors[0].sqref, "A1 B2");
    EXPECT_EQ(m->ignored_errors[0].flags, vex::ignored_error_t::number_stored_as_text);
}

TEST(sheet_periphery_reader, kept_sections_fill_their_records) {
    vex::xml_document_t doc;
    const vex::sheet_periphery_t* m = nullptr;
    ASSERT_EQ(load_body(doc,
                        "<scenarios current=\"1\" show=\"0\" sqref=\"A1 B1\"><scenario name=\"S\" user=\"u\" "
                        "locked=\"1\"><inputCells r=\"C4\" val=\"5\" numFmtId=\"3\" deleted=\"true\"/></scenario>"
                        "</scenarios>"
                        "<dataConsolidate function=\"stdDevp\" topLabels=\"1\"><dataRefs count=\"1\">"
                        "<dataRef ref=\"A1:B2\" sheet=\"Data\" r:id=\"rId5\"/></dataRefs></dataConsolidate>"
                        "<customProperties><customPr id=\"12\" name=\"p\"/></customProperties>"
                        "<smartTags><cellSmartTags r=\"D2\"><cellSmartTag type=\"4\" xmlBased=\"1\">"
                        "<cellSmartTagPr key=\"k\" val=\"v\"/></cellSmartTag></cellSmartTags></smartTags>"
                        "<controls xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\">"
                        "<control id=\"7\" shapeId=\"1025\" name=\"Button 1\"><controlPr><anchor moveWithCells=\"1\" "
                        "order=\"2\"><from><xdr:col>1</xdr:col><xdr:colOff>10</xdr:colOff><xdr:row>2</xdr:row>"
                        "<xdr:rowOff>20</xdr:rowOff></from><to><xdr:col>3</xdr:col><xdr:colOff>30</xdr:colOff>"
                        "<xdr:row>4</xdr:row><xdr:rowOff>40</xdr:rowOff></to></anchor></controlPr></control></controls>",
                        &m),
              "");
    ASSERT_EQ(m->scenario_groups.size(), 1u);
    const vex::scenario_group_t& g = m->scenario_groups[0];
    EXPECT_EQ(g.current, 1);
    EXPECT_EQ(g.sqref, "A1 B1");
    ASSERT_EQ(g.scenarios.size(), 1u);
    EXPECT_TRUE(g.scenarios[0].locked);
    ASSERT_EQ(g.scenarios[0].inputs.size(), 1u);
    const vex::scenario_input_t& in = g.scenarios[0].inputs[0];
    EXPECT_EQ(in.row, 4);
    EXPECT_EQ(in.col, 3);
    EXPECT_EQ(in.num_fmt_id, 3);
    EXPECT_TRUE(in.deleted);
    EXPECT_EQ(in.value, "5");

    ASSERT_TRUE(m->data_consolidation);
    EXPECT_EQ(m->data_consolidation->function, 7u);
    EXPECT_TRUE(m->data_consolidation->top_labels);
    ASSERT_EQ(m->data_consolidation->references.size(), 1u);
    EXPECT_EQ(m->data_consolidation->references[0].relationship_id, "rId5");
    EXPECT_EQ(m->data_consolidation->references[0].sheet, "Data");

    ASSERT_EQ(m->custom_properties.size(), 1u);
    EXPECT_EQ(m->custom_properties[0].id, 12);

    ASSERT_EQ(m->smart_tags.size(), 1u);
    ASSERT_EQ(m->smart_tags[0].tags.size(), 1u);
    EXPECT_EQ(m->smart_tags[0].tags[0].type, 4);
    EXPECT_TRUE(m->smart_tags[0].tags[0].xml_based);
    ASSERT_EQ(m->smart_tags[0].tags[0].properties.size(), 1u);
    EXPECT_EQ(m->smart_tags[0].tags[0].properties[0].second, "v");

    ASSERT_EQ(m->controls.size(), 1u);
    const vex::control_record_t& c = m->controls[0];
    EXPECT_EQ(c.id, 7);
    EXPECT_EQ(c.shape_id, 1025);
    EXPECT_EQ(c.name, "Button 1");
    EXPECT_TRUE(c.anchor.move_with_cells);
    EXPECT_EQ(c.anchor.order, 2);
    // Both offsets of each corner.
    EXPECT_EQ(c.anchor.from.col, 1);
    EXPECT_EQ(c.anchor.from.col_offset, 10);
    EXPECT_EQ(c.anchor.from.row, 2);
    EXPECT_EQ(c.anchor.from.row_offset, 20);
    EXPECT_EQ(c.anchor.to.col_offset, 30);
    EXPECT_EQ(c.anchor.to.row_offset, 40);
}

TEST(sheet_periphery_reader, bad_values_fail_the_load) {
    const std::pair<std::string, std::string> cases[] = {
        {"<dataValidations><dataValidation type=\"integer\" sqref=\"A1\"/></dataValidations>",
         "invalid enumeration string value: \"integer\""},
        {"<customProperties><customPr id=\"x\" name=\"p\"/></customProperties>", "invalid stoi argument"},
        {"<dataValidations><dataValidation sqref=\"A1:A10,C1\"/></dataValidations>", "Wrong range reference"},
        {"<cellWatches><cellWatch r=\"A0\"/></cellWatches>", "Wrong cell reference: A0"},
        {"<scenarios current=\"99999999999\"/>", "stoi argument out of range"},
    };
    for (const auto& [body, message] : cases) {
        vex::xml_document_t doc;
        EXPECT_NE(load_body(doc, body).find(message), std::string::npos) << body;
    }
}

// Each handler that fills the last record ignores a node that has none.
TEST(sheet_periphery_reader, orphan_nodes_are_ignored) {
    vex::xml_document_t doc;
    const vex::sheet_periphery_t* m = nullptr;
    ASSERT_EQ(load_body(doc,
                        "<scenarios><inputCells r=\"A1\" val=\"1\"/></scenarios>"
                        "<dataValidations><formula1>1</formula1></dataValidations>"
                        "<smartTags><cellSmartTag type=\"1\"/><cellSmartTags r=\"A1\"><cellSmartTagPr key=\"k\"/>"
                        "</cellSmartTags></smartTags>"
                        "<controls><x><anchor><from><col>1</col></from></anchor></x></controls>",
                        &m),
              "");
    ASSERT_EQ(m->scenario_groups.size(), 1u);
    EXPECT_TRUE(m->scenario_groups[0].scenarios.empty());
    ASSERT_TRUE(m->data_validations);
    EXPECT_TRUE(m->data_validations->items.empty());
    ASSERT_EQ(m->smart_tags.size(), 1u);
    EXPECT_TRUE(m->smart_tags[0].tags.empty());
    ASSERT_EQ(m->controls.size(), 1u);  // any element under controls is one
    EXPECT_EQ(m->controls[0].anchor.from.col, 1);
}
