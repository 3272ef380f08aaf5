// The six questions of the console dialogue, as the program prints them.
// Every other text is in run/messages.h; these stay here, beside the
// dialogue, since parameters/ does not use run/.
#ifndef BRANTIX_PARAMETERS_PROMPTS_H_
#define BRANTIX_PARAMETERS_PROMPTS_H_

inline const char kPromptNumeroColonne[] = "\nNumero de colonne : ";
inline const char kPromptTexteEntete[] = "\nTexte d'entete : ";
inline const char kPromptNomIcone1[] = "Nom icone 1: ";
inline const char kPromptNomIcone2[] = "Nom icone 2: ";
inline const char kPromptNomMap[] = "Nom de la MAP: ";
inline const char kPromptNomFichierLien[] = "Nom Fichier pour le lien : ";

#endif  // BRANTIX_PARAMETERS_PROMPTS_H_
