#include "kestrel/core/components/drawings.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/package_support.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/drawings_part.h"
#include "kestrel/parts/image_part.h"
#include "kestrel/parts/part_factory_support.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/parts/worksheet_part.h"
#include "kestrel/parts/worktable_part.h"
#include "kestrel/xml/xl_xml/writers/stand_in_writer.h"
#include "mta/table/utils/drawing/image/image_fixtures.h"
#include "mta/table/utils/drawing/image/table_image.h"
#include "run_message.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using vex::part_kind_enum;
using vex::xml_part_t;

namespace {

struct parts_fixture : ::testing::Test {
    factory_test::package p;
    vex::workbook_t& book = *static_cast<vex::workbook_part_t*>(p.book)->get_workbook_component();
    xml_part_t* sheet_part = add_sheet("Sheet1", 1, "rId1");
    vex::worktable_t& table =
        *static_cast<vex::worksheet_part_t*>(sheet_part)->get_worksheet()->create_worktable__(100, 50, {});
    vex::worktable_part_t& part = static_cast<vex::worktable_part_t&>(*table.get_part());
    const fixtures::bytes_t png = fixtures::png(4, 3);

    xml_part_t* add_sheet(const char* name, uint32_t id, const char* rid) {
        book.sheets().push_back({id, 1, 0, rid, name, nullptr});
        xml_part_t* s = p.add(p.book, "worksheet", rid);
        book.attach_worksheet(static_cast<vex::worksheet_part_t*>(s)->get_worksheet(), rid);
        return s;
    }
    int32_t place(const fixtures::bytes_t& bytes, int row = 2, vex::image_part_t* at = nullptr) {
        return table.add_one_cell_image_from_memory(bytes.data(), bytes.size(), row, 3, 0, 0, 1.0, 0, 0, at);
    }
    vex::drawings_part_t* drawing() const {
        return static_cast<vex::drawings_part_t*>(part.child_of_kind(part_kind_enum::drawings_part));
    }
    static vex::image_part_t* image_at(const xml_part_t* parent, size_t i) {
        return static_cast<vex::image_part_t*>(parent->get_child_parts().at(i).get());
    }
};

} // namespace

TEST(image_part, type_tables_and_shared_blocks) {
    EXPECT_STREQ(vex::mime_type_of(2), "image/jpeg");
    EXPECT_STREQ(vex::extension_of(2), "jpeg");
    EXPECT_STREQ(vex::extension_of(8), "ico");
    EXPECT_EQ(vex::mime_type_of(0), nullptr);
    EXPECT_EQ(vex::extension_of(9), nullptr);

    vex::image_part_t a(nullptr), b(nullptr), c(nullptr);
    for (vex::image_part_t* i : {&a, &b, &c}) i->set_kind(part_kind_enum::image_part);  // as the factory does
    EXPECT_STREQ(a.get_content_type_by_index(5), "image/x-pcx");
    EXPECT_STREQ(a.get_extension_by_index(6), ".jpeg");
    EXPECT_STREQ(a.get_content_type_by_index(9), "application/octet-stream");
    EXPECT_EQ(a.get_content_type_by_index(10), nullptr);
    EXPECT_EQ(a.get_extension_by_index(-1), nullptr);

    std::shared_ptr<const char[]> bytes = std::make_shared<char[]>(4, 'x');
    a.set_raw_data(bytes, 4);
    a.set_content_type("image/png");
    a.set_extension("png");
    c.set_raw_data(std::make_shared<char[]>(4, 'x'), 4);  // equal bytes, another block
    b.copy_from(&a);
    EXPECT_EQ(b.get_raw_data(), a.get_raw_data());
    EXPECT_EQ(b.content_type(), "image/png");
    EXPECT_EQ(b.extension(), "png");
    EXPECT_TRUE(b.equals(&a));
    EXPECT_FALSE(c.equals(&a));
    EXPECT_FALSE(a.equals(nullptr));
    EXPECT_FALSE(a.parses_on_load());
    a.register_image(5);
    EXPECT_TRUE(a.has_image(5));
    EXPECT_FALSE(a.has_image(7));
}

TEST_F(parts_fixture, pictures_share_one_drawing_and_take_their_type) {
    vex::set_run_message("");
    EXPECT_LT(place(fixtures::bytes_t{1, 2, 3, 4}), 1);  // refused by the manager: no part
    EXPECT_TRUE(part.get_child_parts().empty());

    const int32_t first = place(png);
    ASSERT_GT(first, 0);
    vex::drawings_part_t* d = drawing();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(part.create_part(factory_test::rel("drawing").c_str(), nullptr), d);  // asked twice: the same
    ASSERT_EQ(d->get_child_parts().size(), 1u);
    vex::image_part_t* image = image_at(d, 0);
    EXPECT_EQ(image->content_type(), "image/png");
    EXPECT_EQ(image->extension(), "png");
    EXPECT_EQ(image->get_raw_size(), png.size());
    EXPECT_TRUE(image->has_image(first));

    const fixtures::bytes_t jpeg = fixtures::jpeg(2, 2);
    const int32_t second = table.add_absolute_image_from_memory(jpeg.data(), jpeg.size(), 10, 10, 0, 0, 1.0);
    const int32_t third = place(png, 9);  // equal bytes: the same image part
    ASSERT_GT(second, 0);
    ASSERT_GT(third, 0);
    EXPECT_EQ(part.get_child_parts().size(), 1u);
    ASSERT_EQ(d->get_child_parts().size(), 2u);
    EXPECT_EQ(image_at(d, 1)->content_type(), "image/jpeg");
    EXPECT_EQ(image_at(d, 1)->extension(), "jpeg");
    EXPECT_TRUE(image->has_image(third));
    EXPECT_FALSE(d->is_empty());

    // The drawing reader's direct path tells no part.
    const int32_t direct = table.add_two_cell_image_from_memory(2, png.data(), png.size(), 1, 0, 1, 0, 3, 0, 3, 0);
    EXPECT_GT(direct, 0);
    EXPECT_FALSE(image->has_image(direct));
    EXPECT_EQ(table.get_image_manager()->image_num(table.sheet_id()), 4);
}

TEST_F(parts_fixture, a_picture_added_to_a_drawing_kept_as_bytes_is_not_saved_without_it) {
    ASSERT_GT(place(png), 0);
    vex::drawings_part_t* d = drawing();
    const char kept[] = "<xdr:wsDr/>";
    std::shared_ptr<char[]> bytes(new char[sizeof kept]);
    std::copy(kept, kept + sizeof kept, bytes.get());
    d->set_raw_data(bytes, sizeof kept - 1);  // as a load leaves it
    ASSERT_GT(place(png, 7), 0);
    EXPECT_EQ(d->get_raw_data(), nullptr);
}

TEST_F(parts_fixture, loaded_image_children_anchor_every_picture_naming_them) {
    auto* d = static_cast<vex::drawings_part_t*>(part.create_part(factory_test::rel("drawing").c_str(), "rId1"));
    EXPECT_TRUE(d->is_empty());
    vex::picture_anchor_t one;
    one.type = 1;
    one.row = 2;
    one.col = 2;
    vex::picture_anchor_t two;
    two.from_col = 1, two.from_row = 1, two.to_col = 3, two.to_row = 4;
    d->get_drawings()->add_picture("rId7", one);
    d->get_drawings()->add_picture("rId8", one);
    d->get_drawings()->add_picture("rId7", two);

    auto* image = static_cast<vex::image_part_t*>(d->create_part(factory_test::rel("image").c_str(), "rId7"));
    image->set_raw_data(std::shared_ptr<const char[]>(std::make_shared<char[]>(png.size())), png.size());
    std::copy(png.begin(), png.end(), const_cast<char*>(image->get_raw_data()));
    d->on_child_loaded(image);

    EXPECT_EQ(d->get_drawings()->pictures().size(), 1u);  // rId8 waits for its image
    const auto* manager = table.get_image_manager();
    ASSERT_EQ(manager->image_num(table.sheet_id()), 2);
    const int32_t a = manager->get_image_id(table.sheet_id(), 0);
    const int32_t b = manager->get_image_id(table.sheet_id(), 1);
    EXPECT_EQ(manager->get_anchor_type(a), vex::mta::image::image_anchor_type_enum::one_cell);
    EXPECT_EQ(manager->get_anchor_type(b), vex::mta::image::image_anchor_type_enum::two_cell);
    EXPECT_TRUE(image->has_image(a));
    EXPECT_TRUE(image->has_image(b));
    EXPECT_EQ(d->get_child_parts().size(), 1u);  // the loaded part, no second one
}

TEST_F(parts_fixture, kept_anchors_follow_renumbered_relationships) {
    vex::drawings_part_t* d = nullptr;
    ASSERT_GT(place(png), 0);
    d = drawing();
    xml_part_t* chart = d->create_part(factory_test::rel("chart").c_str(), "rId5");
    d->get_drawings()->add_kept_anchor(
        "<xdr:graphicFrame><c:chart xmlns:c=\"rId5\" r:id=\"rId5\"/></xdr:graphicFrame>");
    d->get_drawings()->add_kept_anchor("<xdr:sp><a:t>id=\"rId5\"</a:t><a:hlinkClick r:id='rId5'/></xdr:sp>");
    d->reset_relationship_ids();
    ASSERT_STREQ(chart->get_relationship_id(), "rId2");
    const auto& kept = d->get_drawings()->kept_anchors();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].pictures_before, 0u);
    EXPECT_EQ(d->kept_anchor_for_save(kept[0].xml),
              "<xdr:graphicFrame><c:chart xmlns:c=\"rId5\" r:id=\"rId2\"/></xdr:graphicFrame>");
    EXPECT_EQ(d->kept_anchor_for_save(kept[1].xml),
              "<xdr:sp><a:t>id=\"rId5\"</a:t><a:hlinkClick r:id='rId2'/></xdr:sp>");
}

TEST_F(parts_fixture, the_background_keeps_bytes_a_picture_still_shows) {
    const int32_t picture = place(png);
    ASSERT_GT(picture, 0);
    const int32_t bg = table.set_bg_picture_from_memory(png.data(), png.size());
    ASSERT_GT(bg, 0);
    vex::image_part_t* background = image_at(&part, 1);
    ASSERT_EQ(background->kind(), part_kind_enum::image_part);
    vex::image_part_t* shown = image_at(drawing(), 0);
    EXPECT_EQ(background->get_raw_data(), shown->get_raw_data());  // one block for equal pictures
    EXPECT_TRUE(background->has_image(bg));

    const fixtures::bytes_t gif = fixtures::gif(5, 5);
    const int32_t replaced = table.set_bg_picture_from_memory(gif.data(), gif.size());
    ASSERT_GT(replaced, 0);
    EXPECT_EQ(part.get_child_parts().size(), 2u);  // the same part takes the new bytes
    EXPECT_EQ(background->content_type(), "image/gif");
    EXPECT_FALSE(background->has_image(bg));
    // Whatever the manager keeps, the picture's part holds its own share.
    table.get_image_manager()->delete_image(picture);
    ASSERT_EQ(shown->get_raw_size(), png.size());
    EXPECT_TRUE(std::equal(png.begin(), png.end(), reinterpret_cast<const uint8_t*>(shown->get_raw_data())));
    EXPECT_EQ(table.set_bg_picture_from_memory(nullptr, 0), -1);
    EXPECT_EQ(table.set_bg_picture("/nonexistent/picture.png"), -1);
}

TEST_F(parts_fixture, parts_are_numbered_by_sheet_and_tables_by_rank) {
    xml_part_t* second_sheet = add_sheet("Sheet2", 2, "rId2");
    auto* second = static_cast<vex::worksheet_part_t*>(second_sheet)->get_worksheet()->create_worktable__(10, 10, {});
    ASSERT_GT(second->add_one_cell_image_from_memory(png.data(), png.size(), 1, 1, 0, 0, 1.0, 0, 0), 0);
    ASSERT_NE(second->add_tabledef("A", {{0, 1, 1, 1, 0, 0}, {0, 2, 2, 1, 0, 0}}, nullptr), nullptr);
    ASSERT_NE(table.add_tabledef("B", {{0, 1, 1, 1, 0, 0}, {0, 2, 2, 1, 0, 0}}, nullptr), nullptr);
    xml_part_t* second_drawing = second->get_part()->get_child_parts().front().get();
    EXPECT_EQ(second->get_part()->get_part_number(second_drawing), 1u);
    xml_part_t* first_table = part.get_child_parts().front().get();
    xml_part_t* second_table = second->get_part()->get_child_parts().back().get();
    // Tree order: the first sheet's table comes first.
    EXPECT_EQ(part.get_part_number(first_table), 0u);
    EXPECT_EQ(second->get_part()->get_part_number(second_table), 1u);
    EXPECT_EQ(second_drawing->make_part_file_name(), "xl/drawings/drawing2.xml");
    EXPECT_EQ(image_at(second_drawing, 0)->make_part_file_name(), "xl/media/image1.png");
}

TEST_F(parts_fixture, embedded_objects_bind_by_source_id_while_hyperlinks_wait) {
    auto& extras = table.sheet_extras();
    extras.pending_hyperlinks.push_back({{{0, 1, 1, 1, 0, 0}, {0, 1, 1, 1, 0, 0}}, "", "A1", "", ""});
    extras.embedded_objects.emplace_back();
    extras.embedded_objects.back().relationship_id = "rId3";
    extras.embedded_objects.back().properties = std::make_unique<vex::worktable_t::embedded_object_t::properties_t>();
    extras.embedded_objects.back().properties->relationship_id = "rId4";
    xml_part_t* object = part.create_part(factory_test::rel("oleObject").c_str(), "rId3");
    xml_part_t* image = part.create_part(factory_test::rel("image").c_str(), "rId4");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(extras.embedded_objects.back().part, object);
    EXPECT_EQ(extras.embedded_objects.back().properties->part, image);
    part.remove_part(object);
    EXPECT_EQ(extras.embedded_objects.back().part, nullptr);
    EXPECT_TRUE(table.after_loading__());
}

namespace {

class stub_writer final : public vex::output_handler {
public:
    explicit stub_writer(xml_part_t& part) : part_(part) {}
    void write() override { part_.get_xml_writer()->write_raw("<stub/>"); }
    static std::unique_ptr<vex::output_handler> make(xml_part_t& part) { return std::make_unique<stub_writer>(part); }

private:
    xml_part_t& part_;
};

// Installs the stub on the document for the kinds whose writers are still to come.
void install_stubs(vex::xml_document_t& doc) {
    for (part_kind_enum k : {part_kind_enum::workbook_part, part_kind_enum::workbook_styles_part,
                             part_kind_enum::shared_string_table_part, part_kind_enum::worksheet_part})
        doc.stand_in_writers().set(k, &stub_writer::make);
}

package_test::entries_t save_with_picture(const fixtures::bytes_t& picture) {
    package_test::scratch_dir dir;
    vex::xml_document_t doc;
    install_stubs(doc);
    doc.create_package();
    vex::worksheet_t* sheet = doc.workbook()->insert_worksheet("Sheet1", 0);
    vex::worktable_t* table = sheet->create_worktable__(1048576, 16384, {});
    EXPECT_GT(table->add_one_cell_image_from_memory(picture.data(), picture.size(), 5, 5, 0, 0, 1.0, 0, 0), 0);
    EXPECT_NE(table->add_tabledef("T1", {{0, 1, 1, 1, 0, 0}, {0, 3, 2, 1, 0, 0}}, nullptr), nullptr);
    doc.save((dir / "out.xlsx").c_str(), 2);
    return package_test::read_zip(dir / "out.xlsx");
}

} // namespace

TEST(worktable_save, pictures_and_tables_follow_their_sheet) {
    using package_test::find;
    const package_test::entries_t saved = save_with_picture(fixtures::png(4, 4));
    std::vector<std::string> names = package_test::names(saved);
    const auto sheet = std::find(names.begin(), names.end(), "xl/worksheets/sheet1.xml");
    ASSERT_NE(sheet, names.end());
    EXPECT_EQ(std::vector<std::string>(sheet, sheet + 6),
              (std::vector<std::string>{"xl/worksheets/sheet1.xml", "xl/drawings/drawing1.xml", "xl/media/image1.png",
                                        "xl/drawings/_rels/drawing1.xml.rels", "xl/tables/table1.xml",
                                        "xl/worksheets/_rels/sheet1.xml.rels"}));
    const std::string rels = find(saved, "xl/worksheets/_rels/sheet1.xml.rels");
    const std::string drawing_rel =
        "Id=\"rId1\" Type=\"" + factory_test::rel("drawing") + "\" Target=\"../drawings/drawing1.xml\"";
    EXPECT_NE(rels.find(drawing_rel), std::string::npos)
        << rels;
    EXPECT_NE(rels.find("Id=\"rId2\" Type=\"" + factory_test::rel("table") + "\" Target=\"../tables/table1.xml\""),
              std::string::npos)
        << rels;
    EXPECT_NE(find(saved, "xl/drawings/_rels/drawing1.xml.rels").find("Target=\"../media/image1.png\""),
              std::string::npos);
    EXPECT_EQ(find(saved, "xl/media/image1.png").size(), 33u);
    const std::string types = find(saved, "[Content_Types].xml");
    EXPECT_NE(types.find("<Default Extension=\"png\" ContentType=\"image/png\"/>"), std::string::npos) << types;

    const package_test::entries_t with_jpeg = save_with_picture(fixtures::jpeg(3, 3));
    EXPECT_NE(find(with_jpeg, "xl/media/image1.jpeg"), "<absent>");
    EXPECT_NE(find(with_jpeg, "[Content_Types].xml").find("<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"),
              std::string::npos);
}

namespace {

// Two sheets whose drawings show image1.png, or the second its own equal copy.
package_test::entries_t two_drawings(bool one_target, package_test::entries_t& in) {
    using namespace package_test;
    const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string r_ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const std::string ct = "application/vnd.openxmlformats-officedocument.";
    const fixtures::bytes_t png = fixtures::png(2, 2);
    in = {
        {"[Content_Types].xml",
         types("<Default Extension=\"png\" ContentType=\"image/png\"/>" +
               override_of("xl/workbook.xml", ct + "spreadsheetml.sheet.main+xml") +
               override_of("xl/worksheets/sheet1.xml", ct + "spreadsheetml.worksheet+xml") +
               override_of("xl/worksheets/sheet2.xml", ct + "spreadsheetml.worksheet+xml") +
               override_of("xl/drawings/drawing1.xml", ct + "drawing+xml") +
               override_of("xl/drawings/drawing2.xml", ct + "drawing+xml"))},
        {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
        {"xl/workbook.xml", std::string(decl) + "<workbook xmlns=\"" + ns + "\" xmlns:r=\"" + r_ns +
                                "\"><sheets><sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/>"
                                "<sheet name=\"B\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml") +
                                            rel("rId2", std::string(od) + "worksheet", "worksheets/sheet2.xml"))},
        {"xl/media/image1.png", std::string(png.begin(), png.end())},
        {"xl/media/image2.png", std::string(png.begin(), png.end())},
    };
    for (const char* n : {"1", "2"}) {
        const std::string s = n;
        in.push_back({"xl/worksheets/sheet" + s + ".xml", std::string(decl) + "<worksheet xmlns=\"" + ns +
                                                              "\"><sheetData/></worksheet>"});
        in.push_back({"xl/worksheets/_rels/sheet" + s + ".xml.rels",
                      rels(rel("rId1", std::string(od) + "drawing", "../drawings/drawing" + s + ".xml"))});
        in.push_back({"xl/drawings/drawing" + s + ".xml", std::string(decl) + "<xdr:wsDr xmlns:xdr=\"d\"/>"});
        in.push_back({"xl/drawings/_rels/drawing" + s + ".xml.rels",
                      rels(rel("rId1", std::string(od) + "image",
                               one_target || s == "1" ? "../media/image1.png" : "../media/image2.png"))});
    }
    scratch_dir dir;
    write_zip(dir / "in.xlsx", in);
    vex::xml_document_t doc;
    install_stubs(doc);
    doc.load((dir / "in.xlsx").c_str(), false);
    doc.save((dir / "out.xlsx").c_str(), 2);
    return read_zip(dir / "out.xlsx");
}

size_t media_count(const package_test::entries_t& saved) {
    size_t n = 0;
    for (const std::string& name : package_test::names(saved)) n += name.starts_with("xl/media/");
    return n;
}

} // namespace

TEST(worktable_save, two_drawings_of_one_media_target_save_one_entry) {
    using namespace package_test;
    entries_t in;
    const entries_t saved = two_drawings(true, in);
    EXPECT_EQ(media_count(saved), 1u);
    EXPECT_EQ(find(saved, "xl/media/image1.png"), find(in, "xl/media/image1.png"));
    for (const char* n : {"1", "2"}) {
        const std::string drawing_rels = find(saved, std::string("xl/drawings/_rels/drawing") + n + ".xml.rels");
        EXPECT_NE(drawing_rels.find("Target=\"../media/image1.png\""), std::string::npos) << drawing_rels;
        // The drawing is written from its model: it anchors nothing.
        const std::string drawing = find(saved, std::string("xl/drawings/drawing") + n + ".xml");
        EXPECT_NE(drawing.find("<xdr:wsDr "), std::string::npos) << drawing;
        EXPECT_EQ(drawing.find("<xdr:pic>"), std::string::npos) << drawing;
    }
    // Equal bytes read from two entries are two blocks: two entries again.
    EXPECT_EQ(media_count(two_drawings(false, in)), 2u);
}

TEST(worktable_save, a_replaced_background_leaves_the_picture_bytes_for_the_save) {
    using namespace package_test;
    scratch_dir dir;
    vex::xml_document_t doc;
    install_stubs(doc);
    doc.create_package();
    vex::worktable_t* table = doc.workbook()->insert_worksheet("Sheet1", 0)->create_worktable__(100, 100, {});
    const fixtures::bytes_t a = fixtures::png(6, 6), b = fixtures::png(7, 7);
    const int32_t picture = table->add_one_cell_image_from_memory(a.data(), a.size(), 1, 1, 0, 0, 1.0, 0, 0);
    ASSERT_GT(table->set_bg_picture_from_memory(a.data(), a.size()), 0);  // shares the picture's bytes
    ASSERT_GT(table->set_bg_picture_from_memory(b.data(), b.size()), 0);
    table->get_image_manager()->delete_image(picture);
    doc.save((dir / "out.xlsx").c_str(), 2);
    // Both would be xl/media/image1.png (by sheet and by rank): the save keeps them apart.
    std::vector<std::string> media;
    for (const auto& [name, bytes] : read_zip(dir / "out.xlsx"))
        if (name.starts_with("xl/media/")) media.push_back(bytes);
    EXPECT_EQ(media, (std::vector<std::string>{std::string(a.begin(), a.end()), std::string(b.begin(), b.end())}));
}

TEST_F(parts_fixture, a_loaded_image_part_places_its_bytes_where_its_parent_says) {
    auto* background = static_cast<vex::image_part_t*>(part.create_part(factory_test::rel("image").c_str(), "rId2"));
    background->set_raw_data(std::shared_ptr<const char[]>(std::make_shared<char[]>(png.size())), png.size());
    std::copy(png.begin(), png.end(), const_cast<char*>(background->get_raw_data()));
    EXPECT_TRUE(background->on_loaded());
    EXPECT_EQ(table.get_image_manager()->image_num(table.sheet_id()), 1);
    EXPECT_EQ(background->content_type(), "image/png");

    auto* d = static_cast<vex::drawings_part_t*>(part.create_part(factory_test::rel("drawing").c_str(), "rId3"));
    auto* shown = static_cast<vex::image_part_t*>(d->create_part(factory_test::rel("image").c_str(), "rId1"));
    shown->copy_from(background);
    EXPECT_FALSE(shown->on_loaded());  // no picture names it
    vex::picture_anchor_t at;
    at.type = 0;  // absolute
    at.x = at.y = 10;
    d->get_drawings()->add_picture("rId1", at);
    EXPECT_TRUE(shown->on_loaded());
    EXPECT_EQ(table.get_image_manager()->image_num(table.sheet_id()), 2);
}
