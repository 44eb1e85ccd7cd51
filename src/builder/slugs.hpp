#pragma once
// URL names of the items in a built site: each item's files and page are named after its slug.
#include <string>
#include <string_view>
#include <vector>

#include "model/item.hpp"

namespace lf::builder {

// The slug of a file name without its extension: transliterated to Latin, folded to plain lower-case
// ASCII, every run of other characters turned into one "-", no "-" at either end; "item" when
// nothing is left (e.g. for "???").
std::string slugify(std::string_view name);

// Gives every item a slug unique within the list, in list order: the first "img-0001", the next
// one with the same base "img-0001-2", then "-3", and so on.
void assignSlugs(std::vector<model::Item>& items);

}  // namespace lf::builder
