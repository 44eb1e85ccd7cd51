#include "publish/cloudflare/lock_texts.hpp"

namespace lf::publish::cloudflare {

LockTexts lockTexts(std::string_view language) {
    if (language == "fr") {
        return {"Cette galerie est privée. Saisissez le mot de passe pour la voir.",
                "Ce mot de passe ne fonctionne pas. Réessayez.", "Voir la galerie", "Mot de passe",
                "Protégée par mot de passe"};
    }
    if (language == "de") {
        return {"Diese Galerie ist privat. Geben Sie das Passwort ein, um sie anzusehen.",
                "Dieses Passwort stimmt nicht. Bitte versuchen Sie es erneut.", "Galerie ansehen", "Passwort",
                "Passwortgeschützt"};
    }
    if (language == "it") {
        return {"Questa galleria è privata. Inserisci la password per vederla.", "Password non corretta. Riprova.",
                "Vedi la galleria", "Password", "Protetta da password"};
    }
    if (language == "nl") {
        return {"Deze galerij is privé. Voer het wachtwoord in om hem te bekijken.",
                "Dat wachtwoord klopt niet. Probeer het opnieuw.", "Galerij bekijken", "Wachtwoord",
                "Beveiligd met wachtwoord"};
    }
    return {"This gallery is private. Enter the password to view it.", "That password didn’t work. Try again.",
            "View Gallery", "Password", "Password protected"};
}

}  // namespace lf::publish::cloudflare
