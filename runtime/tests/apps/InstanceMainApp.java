public class InstanceMainApp {
    public void main(String[] args) {
        System.out.println("never called");
    }
}
