<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>Saisissez le code PIN</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>Le code PIN est affiché sur le récepteur</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>Code PIN incorrect</translation>
    </message>
    <message>
        <source>%1 Digits PIN code &gt;</source>
        <translation>Code PIN à %1 caractères &gt;</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connecter</translation>
    </message>
    <message>
        <source>Start sharing when connected</source>
        <translation>Commencer le partage une fois connecté</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>Connexion de l'appareil</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>Configuration en cours, veuillez patienter</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>FailurePage</name>
    <message>
        <source>Connection failed</source>
        <translation>Échec de la connexion</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Réessayer</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>Choisissez un mode de partage</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>Sélectionnez comment cet appareil s'affiche sur le récepteur</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>Partage plein écran</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>Partage le contenu de cet appareil en plein écran</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>Partage en écran divisé</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>Partage le contenu de plusieurs appareils sur un même écran</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>Partage en cours</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>Arrêter le partage</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Davuvu Veriv</source>
        <translation>Davuvu Veriv</translation>
    </message>
    <message>
        <source>Unconnected tip</source>
        <translation>Aucun appareil connecté</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Déconnecter</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>Aucune réponse de ZORVAX, veuillez réessayer</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Afficher le curseur</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Activer l'écran étendu</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Conserver les proportions</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Activer le tactile</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Haute qualité d'image</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Accélération matérielle</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Réseau faible</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>À propos de Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Options avancées</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Accélération matérielle activée</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Une fois activée, les performances peuvent être meilleures ; désactivez cette option en cas de problème</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Accélération matérielle désactivée</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Une fois désactivée, les performances peuvent être un peu moindres mais la compatibilité est meilleure</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Mode réseau faible activé</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Réduit les interruptions lorsque le réseau est de mauvaise qualité</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Mode réseau faible désactivé</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>Des interruptions peuvent survenir lorsque le réseau est de mauvaise qualité</translation>
    </message>
</context>
<context>
    <name>Castora</name>
    <message>
        <source>Davuvu Veriv</source>
        <translation>Davuvu Veriv</translation>
    </message>
    <message>
        <source>Unconnected tip</source>
        <translation>Aucun appareil connecté</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>Aucune réponse de ZORVAX, veuillez réessayer</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Afficher le curseur</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Activer l'écran étendu</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Conserver les proportions</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Activer le tactile</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Haute qualité d'image</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Accélération matérielle</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Réseau faible</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>À propos de Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Options avancées</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Accélération matérielle activée</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Une fois activée, les performances peuvent être meilleures ; désactivez cette option en cas de problème</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Accélération matérielle désactivée</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Une fois désactivée, les performances peuvent être un peu moindres mais la compatibilité est meilleure</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Mode réseau faible activé</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Réduit les interruptions lorsque le réseau est de mauvaise qualité</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Mode réseau faible désactivé</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>Des interruptions peuvent survenir lorsque le réseau est de mauvaise qualité</translation>
    </message>
</context>
<context>
    <name>About</name>
    <message>
        <source>Davuvu Veriv</source>
        <translation>Davuvu Veriv</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>À propos de Davuvu Veriv</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>Compilé le : </translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>Émetteur : </translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>Récepteur : </translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>Licences open source</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Inconnu</translation>
    </message>
</context>
<context>
    <name>CloseDialog</name>
    <message>
        <source>QuitTips</source>
        <translation>Voulez-vous vraiment quitter l'application ?</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Confirmer</translation>
    </message>
</context>
<context>
    <name>InterruptPage</name>
    <message>
        <source>InterruptQuitTips</source>
        <translation>Partage interrompu en raison d'un problème réseau</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>TipDialog</name>
    <message>
        <source>Notice</source>
        <translation>Avis</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>Astuce</translation>
    </message>
</context>
</TS>
