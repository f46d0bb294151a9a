package deep;

/** Lives in an archive deep below lib. */
public class Deep {
  public static String hello() {
    return "deep class ran";
  }
}
