// The menu tables. Texts come from the language tables by id at build time.
#include "app/Menus.h"

#define ITEM(id) {id, 0, 0, nullptr, ""}
#define RADIO(id) {id, MFT_RADIOCHECK, 0, nullptr, ""}
#define POPUP(id, items) {id, 0, 0, items, ""}
#define SEP {-1, 0, 0, nullptr, ""}
#define END {0, 0, 0, nullptr, ""}

static MenuItemDef sortLeft[] = {RADIO(509), RADIO(510), RADIO(511), RADIO(512), RADIO(513), SEP, ITEM(514), END};
static MenuItemDef sortRight[] = {RADIO(609), RADIO(610), RADIO(611), RADIO(612), RADIO(613), SEP, ITEM(614), END};

static MenuItemDef leftMenu[] = {RADIO(501), RADIO(502), RADIO(503), RADIO(504), RADIO(505), ITEM(507),
                                 SEP,        POPUP(508, sortLeft), SEP, ITEM(515), ITEM(516), ITEM(517),
                                 ITEM(518),  END};
static MenuItemDef rightMenu[] = {RADIO(601), RADIO(602), RADIO(603), RADIO(604), RADIO(605), ITEM(607),
                                  SEP,        POPUP(608, sortRight), SEP, ITEM(615), ITEM(616), ITEM(617),
                                  ITEM(618),  END};

static MenuItemDef crlfMenu[] = {ITEM(122), ITEM(124), ITEM(123), END};
static MenuItemDef selectMenu[] = {ITEM(116), ITEM(117), ITEM(118), ITEM(119), ITEM(127), END};

static MenuItemDef filesMenu[] = {
    ITEM(29000), ITEM(101), ITEM(102), ITEM(103), ITEM(104), ITEM(105), ITEM(106), ITEM(107),
    ITEM(108),   ITEM(109), ITEM(110), ITEM(111), SEP,       ITEM(112), ITEM(113), ITEM(121),
    ITEM(130),   POPUP(128, crlfMenu), SEP, ITEM(114), ITEM(115), ITEM(126), SEP,
    POPUP(129, selectMenu), SEP, ITEM(120), END};

static MenuItemDef diskMenu[] = {ITEM(201), ITEM(202), ITEM(203), ITEM(204), SEP,       ITEM(205), SEP,
                                 ITEM(206), ITEM(207), ITEM(208), SEP,       ITEM(213), ITEM(214), ITEM(219),
                                 SEP,       ITEM(209), ITEM(210), ITEM(218), END};

static MenuItemDef viewMenu[] = {ITEM(302), ITEM(303), ITEM(304), SEP,       ITEM(241), ITEM(242),
                                 ITEM(246), ITEM(245), ITEM(244), ITEM(243), END};

static MenuItemDef commandsMenu[] = {ITEM(301), ITEM(316), ITEM(324), ITEM(317), ITEM(318), SEP,       ITEM(306),
                                     SEP,       ITEM(307), ITEM(308), ITEM(309), ITEM(315), ITEM(310), SEP,
                                     ITEM(211), ITEM(311), ITEM(322), SEP,       ITEM(321), ITEM(319), ITEM(320),
                                     END};

static MenuItemDef optionsMenu[] = {ITEM(401), SEP, ITEM(402), ITEM(403), ITEM(404), SEP, ITEM(406),
                                    ITEM(409), ITEM(407), SEP, ITEM(408), END};

static MenuItemDef helpMenu[] = {ITEM(700), ITEM(702), SEP, ITEM(705), END};

// The "Switch list" is filled at run time with the open tool windows.
static MenuItemDef switchMenu[] = {END};

MenuItemDef gMainMenu[] = {POPUP(500, leftMenu),
                           POPUP(100, filesMenu),
                           POPUP(200, diskMenu),
                           POPUP(299, viewMenu),
                           POPUP(300, commandsMenu),
                           POPUP(400, optionsMenu),
                           POPUP(600, rightMenu),
                           {28000, MFT_RIGHTJUSTIFY, 0, switchMenu, ""},
                           {700, MFT_RIGHTJUSTIFY, 0, helpMenu, ""},
                           END};

static MenuItemDef cmpFile[] = {ITEM(921), ITEM(926), ITEM(927), SEP, ITEM(120), END};
static MenuItemDef cmpEdit[] = {ITEM(928), ITEM(929), SEP, ITEM(11930), END};
static MenuItemDef cmpView[] = {ITEM(241), SEP, ITEM(938), END};
static MenuItemDef cmpSearch[] = {ITEM(11945), ITEM(11946), END};
static MenuItemDef cmpColor[] = {ITEM(939), ITEM(940), ITEM(941), END};
static MenuItemDef cmpOptions[] = {ITEM(930), ITEM(931), ITEM(942), ITEM(935), SEP, ITEM(402), POPUP(403, cmpColor),
                                   END};
MenuItemDef gCompareMenu[] = {POPUP(850, cmpFile),   POPUP(851, cmpEdit),    POPUP(299, cmpView),
                              POPUP(852, cmpSearch), POPUP(400, cmpOptions), END};

static MenuItemDef docFile[] = {ITEM(11922), ITEM(11923), SEP, ITEM(11924), ITEM(11925), SEP, ITEM(110), SEP,
                                ITEM(120),   END};
static MenuItemDef hexEdit[] = {ITEM(15009), ITEM(15010), END};
static MenuItemDef docSearch[] = {ITEM(11945), ITEM(11946), ITEM(11956), END};
static MenuItemDef hexOptions[] = {ITEM(15012), SEP, ITEM(402), ITEM(11935), SEP, ITEM(241), END};
MenuItemDef gHexMenu[] = {POPUP(850, docFile),   POPUP(851, hexEdit),     POPUP(852, docSearch),
                          POPUP(400, hexOptions), END};

static MenuItemDef editEdit[] = {ITEM(11928), SEP, ITEM(11929), ITEM(11930), ITEM(11931), SEP,
                                 ITEM(11932), ITEM(11937), END};
static MenuItemDef editOptions[] = {ITEM(402), ITEM(11935), SEP, ITEM(241), ITEM(11955), END};
MenuItemDef gEditorMenu[] = {POPUP(850, docFile),     POPUP(851, editEdit),
                             POPUP(852, docSearch),   POPUP(400, editOptions),
                             {999, MFT_RIGHTJUSTIFY, 0, nullptr, ""}, END};

static MenuItemDef viewFile[] = {ITEM(11923), SEP, ITEM(110), SEP, ITEM(120), END};
static MenuItemDef viewEdit[] = {ITEM(11930), SEP, ITEM(11937), END};
static MenuItemDef viewSearch[] = {ITEM(11945), ITEM(11946), END};
MenuItemDef gViewerMenu[] = {POPUP(850, viewFile), POPUP(851, viewEdit), POPUP(852, viewSearch),
                             POPUP(400, editOptions), END};

MenuItemDef gBarPopup[] = {ITEM(402), ITEM(902), END};
MenuItemDef gFtpBarPopup[] = {ITEM(219), SEP, ITEM(214), END};
MenuItemDef gCopySavePopup[] = {ITEM(11930), ITEM(11925), END};
