#include "builder/page_texts.hpp"

#include "platform/text.hpp"

namespace lf::builder {

namespace {

const PageTexts english{"Previous", "Next", "%d of %d", "Pages", "Download original", "%d items",
                        "1 item", "Made with Lanternfold", "All galleries", "en_US"};
const PageTexts french{"Précédente", "Suivante", "%d sur %d", "Pages", "Télécharger l’original",
                       "%d éléments", "1 élément", "Réalisé avec Lanternfold", "Toutes les galeries",
                       "fr_FR"};
const PageTexts german{"Zurück", "Weiter", "%d von %d", "Seiten", "Original herunterladen",
                       "%d Elemente", "1 Element", "Erstellt mit Lanternfold", "Alle Galerien", "de_DE"};
const PageTexts italian{"Precedente", "Successiva", "%d di %d", "Pagine", "Scarica l’originale",
                        "%d elementi", "1 elemento", "Creato con Lanternfold", "Tutte le gallerie",
                        "it_IT"};
const PageTexts dutch{"Vorige", "Volgende", "%d van %d", "Pagina’s", "Origineel downloaden",
                      "%d items", "1 item", "Gemaakt met Lanternfold", "Alle galerijen", "nl_NL"};

}  // namespace

const PageTexts& pageTexts(std::string_view language) {
    if (language == "fr") return french;
    if (language == "de") return german;
    if (language == "it") return italian;
    if (language == "nl") return dutch;
    return english;
}

std::string longDate(std::chrono::system_clock::time_point date, const PageTexts& texts) {
    return text::longDateInLocale(date, texts.locale);
}

std::string fillNumbers(std::string_view format, std::initializer_list<long long> numbers) {
    std::string out;
    auto number = numbers.begin();
    size_t position = 0;
    while (position < format.size()) {
        if (number != numbers.end() && format.compare(position, 2, "%d") == 0) {
            out += std::to_string(*number++);
            position += 2;
        } else {
            out += format[position++];
        }
    }
    return out;
}

}  // namespace lf::builder
