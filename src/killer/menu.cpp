#include "console/console.hpp"
#include "killer/killer.hpp"

namespace killer {
namespace {

void rules() {
  con::print("杀手：每当晚上的时候可使用杀人权杀掉一人\n");
  con::print("预言家：每天晚上可以知道一个人的身份\n");
  con::print("平民：无技能,当玩家是平民时，在第5天拥有1.5票的投票权\n");
  con::print("猎人：此身份仅限于30人娱乐局中，死亡后可带走一人\n");
  con::print("投票细则：\n（游戏中除了你以外全是由超级AI人工代替）\n");
  con::print("预言家如果预言到杀手将一直对他投票，如果预言到好人将永远不会对他投票\n");
  con::print("平民将投上一个晚上对他投票他的人\n");
  con::print("********利用好超级AI游戏规则找出杀手**********\n");
  con::system("pause");
}

}  // namespace

void menu() {
  con::srand(static_cast<unsigned>(con::time()));
  for (;;) {
    con::system("cls");
    con::printf("%*s\t\t\t杀手游戏\n", 35, "");
    for (int k = 0; k < 120; ++k) con::print("-");
    con::printf("%*s\t\t%*s1.开始游戏\n", 33, "", 3, "");
    con::printf("%*s\t\t%*s2.查看游戏规则\n", 32, "", 2, "");
    int key = con::_getch();
    if (key == '2') {
      rules();
      continue;
    }
    if (key != '1') continue;
    con::printf("%*s\t\t%*s1. 15人场\n", 33, "", 3, "");
    con::printf("%*s\t\t\t2. 30人娱乐战(10猎人)<敬请期待>\n", 26, "");
    // The 30-seat table does not exist: its key is read past without a word.
    do key = con::_getch();
    while (key == '2');
    if (key == '1') {
      brc();
      return;
    }
  }
}

}  // namespace killer
